// Paths of running programs: the image of a process, and NT device paths
// turned into drive-letter paths.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace environment {

// Full path of the process's executable in drive-letter form. Raises
// platform::SystemError when the process cannot be opened, its image name
// cannot be read, or a drive's device name cannot be queried. Nothing when
// no drive holds the image.
std::optional<std::wstring> GetProcessPath(DWORD pid);

// A path in NT device form ("\Device\HarddiskVolume3\x") in drive-letter form
// ("C:\x"); nothing when no drive matches. Raises platform::SystemError
// when a drive's device name cannot be queried.
std::optional<std::wstring> DevicePathToDrive(const std::wstring& devicePath);

// A drive root ("C:\") and the device name behind it ("\Device\HarddiskVolume3").
struct DriveDevice {
    std::wstring root;
    std::wstring device;
};

// The matching rule of DevicePathToDrive: the first drive whose device name,
// followed by "\", begins the path (without regard to case) replaces that
// prefix with its root. Nothing when none matches. The delimiter keeps
// \Device\HarddiskVolume1 from claiming paths on \Device\HarddiskVolume10.
std::optional<std::wstring> MapDevicePath(const std::wstring& devicePath,
                                          const std::vector<DriveDevice>& drives);

}  // namespace environment
