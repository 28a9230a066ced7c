// The text of a profile file (data.ini) as the profile functions read it,
// edited as bytes: the installer writes data.ini through a handle it has
// checked, so it cannot leave the writing to those functions, which open
// the file by its name.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace environment {

// `bytes` with each key of `values` set in `section`, as GetPrivateProfileString
// finds them: the first section of that name and in it the key's first line
// (names compared without regard to case, blanks around them ignored) become
// `key=value`, the key spelled as the file spells it. A key the section lacks
// follows its last line; a missing section, with the keys, ends the file.
// Every other byte stays as it was. The encoding stays the file's: UTF-16 (either
// order) or UTF-8 after their byte-order mark, otherwise the ANSI code page;
// new lines end with CR LF.
std::string SetProfileValues(const std::string& bytes, const std::wstring& section,
                             const std::vector<std::pair<std::wstring, std::wstring>>& values);

}  // namespace environment
