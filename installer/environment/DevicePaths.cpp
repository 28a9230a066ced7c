#include "environment/DevicePaths.h"

#include <psapi.h>

#include <cwchar>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace environment {

std::optional<std::wstring> GetProcessPath(DWORD pid) {
    platform::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) platform::ThrowLastError();
    std::vector<wchar_t> image(4096);
    DWORD length = GetProcessImageFileNameW(process.get(), image.data(), DWORD(image.size()));
    if (length == 0) platform::ThrowLastError();
    process.reset();
    return DevicePathToDrive(std::wstring(image.data(), length));
}

std::optional<std::wstring> MapDevicePath(const std::wstring& devicePath,
                                          const std::vector<DriveDevice>& drives) {
    for (const DriveDevice& drive : drives) {
        std::wstring prefix = drive.device + L"\\";
        if (platform::StartsWithName(devicePath, prefix))
            return drive.root + devicePath.substr(prefix.size());
    }
    return std::nullopt;
}

std::optional<std::wstring> DevicePathToDrive(const std::wstring& devicePath) {
    std::vector<wchar_t> roots(512);
    DWORD length = GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
    if (length > roots.size()) {
        roots.resize(length + 1);
        length = GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
    }
    // Devices are queried drive by drive, in list order, and the search
    // stops at the first match, so a later drive that cannot be queried does
    // not matter.
    for (const wchar_t* root = roots.data(); *root; root += wcslen(root) + 1) {
        std::wstring drive = root;
        if (!drive.empty() && drive.back() == L'\\') drive.pop_back();
        wchar_t device[128];
        if (!QueryDosDeviceW(drive.c_str(), device, 128)) platform::ThrowLastError();
        if (std::optional<std::wstring> match = MapDevicePath(devicePath, {{root, device}}))
            return match;
    }
    return std::nullopt;
}

}  // namespace environment
