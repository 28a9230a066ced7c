// The result file, the run's only report: where it lies and what it holds.
#pragma once

#include <string>
#include <string_view>

namespace quenlet {

// The executable's path with its extension replaced by ".res" (appended when
// the file name has none). `delimiters` end the folder part of the path.
std::wstring ResultFilePath(const std::wstring& executablePath, std::wstring_view delimiters);

// The result file's bytes for a run that ended with this ErrorText: "0" when
// it is empty, "-1" otherwise, then the text, each line ended by CR LF, in
// the narrow form of the server's texts.
std::string ResultFileBytes(const std::wstring& ErrorText);

}  // namespace quenlet
