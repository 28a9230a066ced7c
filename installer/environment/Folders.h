// Where things live on the machine: the application's folder, the server
// folder's marks, the folder above a path and the programs folder. Free
// functions without state.
#pragma once

#include <optional>
#include <string>

namespace environment {

// The application's folder: "BaseDir" of the maker's key in the 32-bit
// registry view, as stored (a folder text ending in "\"); nothing when the
// key or the value is missing.
std::optional<std::wstring> ReadAppDir();

// True exactly when folder + "firebird.exe" exists (folder ends in "\"; an
// empty folder tests the current directory).
bool IsFBInstalled(const std::wstring& folder);

// The folder above a folder text, or the folder that holds a file; "C:\"
// stays "C:\". The result ends in "\"; empty on any error.
std::wstring ParentDir(const std::wstring& path);

// "ProgramFilesDir" of the 64-bit registry view, as stored; nothing when
// unknown.
std::optional<std::wstring> GetProgramFilesDir();

}  // namespace environment
