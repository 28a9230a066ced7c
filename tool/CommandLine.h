// The tool's command line: four arguments by position, no switches.
#pragma once

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

}  // namespace quenlet
