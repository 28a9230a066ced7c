// Looking at the machine: where the application lives, which server is
// installed where, versions, services, ports. Free functions without state;
// missing registry values, files or keys give empty text, false or 0.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace environment {

// The application's folder: "BaseDir" of the maker's key in the 32-bit
// registry view, as stored (a folder text ending in "\"); empty when the key
// or the value is missing.
std::wstring ReadAppDir();

// True exactly when folder + "firebird.exe" exists (folder ends in "\"; an
// empty folder tests the current directory).
bool IsFBInstalled(const std::wstring& folder);

// Version text forms.
inline constexpr int kVersionNumberForm = 1;  // "004000005": three digits each
inline constexpr int kVersionDottedForm = 2;  // "4.0.5"

// Major, minor and release in the given form; empty for any other form.
std::wstring FormatVersion(unsigned major, unsigned minor, unsigned release, int form);

// The file's version (from its fixed version information) in the given
// form; empty when the file is missing, has no version resource or cannot
// be read.
std::wstring GetFileVersionText(const std::wstring& path, int form);

// The version of `entry` inside the archive: the entry is extracted into the
// folder named by the environment variable "temp", read, and deleted again.
// Empty when the archive does not exist or the entry did not come out.
// Errors of the archive reader propagate.
std::wstring GetZipFileVersion(const std::wstring& entry, const std::wstring& archive, int form);

// The folder above a folder text, or the folder that holds a file; "C:\"
// stays "C:\". The result ends in "\"; empty on any error.
std::wstring ParentDir(const std::wstring& path);

// "ProgramFilesDir" of the 64-bit registry view, as stored; empty when
// unknown.
std::wstring GetProgramFilesDir();

// True when the caller's own token is a member of the local Administrators
// group (a non-elevated administrator is not).
bool IsUserAdmin();

// Enables SeDebugPrivilege in the process token so that processes of other
// accounts can be inspected. False when the token cannot be opened, the
// privilege not looked up, or the adjustment fails.
bool EnableDebugPrivilege();

// Process identifier of the named service's process; 0 when the service is
// missing, not running or cannot be queried.
DWORD GetServicePID(const std::wstring& serviceName);

// Current state of the named service (SERVICE_RUNNING...); 0 when the
// service is missing or cannot be queried.
DWORD GetServiceState(const std::wstring& serviceName);

// Full path of the process's executable in drive-letter form. Raises
// platform::SystemError when the process cannot be opened, its image name
// cannot be read, or a drive's device name cannot be queried. Empty when no
// drive holds the image.
std::wstring GetProcessPath(DWORD pid);

// A path in NT device form ("\Device\HarddiskVolume3\x") in drive-letter form
// ("C:\x"); empty when no drive matches. Raises platform::SystemError when a
// drive's device name cannot be queried.
std::wstring DevicePathToDrive(const std::wstring& devicePath);

// A drive root ("C:\") and the device name behind it ("\Device\HarddiskVolume3").
struct DriveDevice {
    std::wstring root;
    std::wstring device;
};

// The matching rule of DevicePathToDrive: the first drive whose device name,
// followed by "\", begins the path (without regard to case) replaces that
// prefix with its root. Empty when none matches. The delimiter keeps
// \Device\HarddiskVolume1 from claiming paths on \Device\HarddiskVolume10.
std::wstring MapDevicePath(const std::wstring& devicePath, const std::vector<DriveDevice>& drives);

// What the service enumeration gives for each Win32 service.
struct ServiceEntry {
    std::wstring name;
    std::wstring displayName;
    DWORD currentState = 0;
};

// The enumeration buffer: room for 1,001 fixed entries (the names share it).
inline constexpr size_t kServiceBufferBytes = 48048;

// Calls `visit` for every Win32 service (own and shared process, active and
// inactive) until it returns false. The buffer is refilled through the
// resume handle until every service has been seen. False when the service
// manager could not be opened or the enumeration failed before any entry.
bool EnumerateServices(const std::function<bool(const ServiceEntry&)>& visit,
                       size_t bufferBytes = kServiceBufferBytes);

// Current state of the first service whose name followed by its display
// name contains both "FIREBIRD SERVER" and `text` (without regard to case);
// 0 when there is none or the services cannot be enumerated. A port text
// also matches longer ports that contain it.
DWORD FindFBService(const std::wstring& text);

// False when another running Firebird service instance is configured for
// `port`; `otherFolder` then receives that instance's folder (two levels
// above its executable) and is untouched otherwise. True at once when the
// server in `folder` itself is configured for `port`. Raises
// platform::SystemError when a running instance's process cannot be
// inspected.
bool IsPortFree(const std::wstring& folder, const std::wstring& port, std::wstring& otherFolder);

}  // namespace environment
