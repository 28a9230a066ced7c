// The tool's run: command line, the chain of steps, the result file.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenlet {

struct Arguments {
    std::wstring database;
    std::wstring backupFile;
    std::wstring userName;
    std::wstring password;
};

// Splits a Windows command line into items, the program's own name first.
// Characters 1 to 32 separate items; empty "" pairs before an item are
// skipped; quotes group blanks into an item and are dropped; no escapes.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Arguments 1 to 4 of a list whose item 0 is the program; missing ones are
// empty, further ones ignored.
Arguments ArgumentsFrom(const std::vector<std::wstring>& items);

// The executable's path with its extension replaced by ".res" (appended when
// the file name has none). `delimiters` end the folder part of the path.
std::wstring ResultFilePath(const std::wstring& executablePath, std::wstring_view delimiters);

// The result file's bytes for a run that ended with this ErrorText: "0" or
// "-1", then the text, each line ended by CR LF, in the narrow form of the server's texts.
std::string ResultFileBytes(const std::wstring& ErrorText);

// The four steps; the returned ErrorText is empty on success. Names that
// cannot reach the server exactly are refused before any step. A role that
// the run dropped is created again when a later step fails, also when that
// failure escapes; a failure of that creation follows the first error on a
// line of its own.
std::wstring RunSteps(const Arguments& arguments);

// The whole run: deletes an earlier result file, reads the arguments, runs
// `steps` (RunSteps, or an entry's wrapper around it) and writes the result
// file. A ToolError that no step catches escapes, and no result file is left
// then.
using Steps = std::function<std::wstring(const Arguments&)>;
void RunTool(const std::wstring& resultFilePath, const std::vector<std::wstring>& items,
             const Steps& steps = RunSteps);

// Text of the "Application Error" report for an error that escaped.
std::wstring ApplicationErrorText(const std::exception& error);

}  // namespace quenlet
