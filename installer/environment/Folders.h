// Where things live on the machine: the application's folder, the server
// folder's marks, the folder above a path and the programs folder. Free
// functions without state.
#pragma once

#include <optional>
#include <string>

namespace environment {

// The application's folder: "BaseDir" of `appKey` under HKEY_LOCAL_MACHINE
// (on a PC the maker's key in the 32-bit registry view), as stored (a
// folder text ending in "\"); nothing when the key or the value is missing.
std::optional<std::wstring> ReadAppDir(const std::wstring& appKey);

// True exactly when folder + "firebird.exe" exists (folder ends in "\"; an
// empty folder tests the current directory).
bool IsFBInstalled(const std::wstring& folder);

// What the installer may take a server folder for that it has not filled
// in this run: one that data.ini names, or the default one beside the
// application. Programs run elevated only from a known one.
enum class ServerFolderTrust {
    kKnown,     // holds firebird.exe, and a registered instance's program lies in it
    kNoServer,  // no firebird.exe in it (or no folder given): nothing to run
    kUnknown,   // a server nobody registered, or no folder on a local fixed drive
};
struct ServerFolderCheck {
    ServerFolderTrust trust = ServerFolderTrust::kNoServer;
    std::wstring reason;  // kUnknown: why, naming the folder, for the setup log
};

// The folder's trust. It must be a folder below "X:\" of a DRIVE_FIXED
// drive: a UNC or device path ("\\?\", "\\.\") is not touched at all. A
// registered instance is any service ServerInstancePrograms lists; its
// program lies in the folder when the program's own folder is this one
// (full paths, "..\" resolved, without regard to case).
ServerFolderCheck CheckServerFolder(const std::wstring& folder);

// The folder above a folder text, or the folder that holds a file; "C:\"
// stays "C:\". The result ends in "\"; empty on any error.
std::wstring ParentDir(const std::wstring& path);

// "ProgramFilesDir" of the 64-bit registry view, as stored; nothing when
// unknown.
std::optional<std::wstring> GetProgramFilesDir();

}  // namespace environment
