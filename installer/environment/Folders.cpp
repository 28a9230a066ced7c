#include "environment/Folders.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "environment/Messages.h"
#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace environment {

namespace {

constexpr wchar_t kNotLocalFixed[] = L"nie je to priečinok na lokálnom pevnom disku.";

using platform::FullPath;

// "X:\" of a fixed drive and a folder below it. Anything starting with "\\"
// (UNC, "\\?\", "\\.\") or relative is not, and neither is a drive's root,
// which would hand the whole drive to the rules of a server folder.
bool IsFolderOnLocalFixedDrive(const std::wstring& path) {
    if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || path[0] > 0x7F ||
        !iswalpha(path[0]) || FullPath(path).size() <= 3)
        return false;
    return GetDriveTypeW(path.substr(0, 3).c_str()) == DRIVE_FIXED;
}

// A registered instance's program lies directly in the folder; a folder
// above it (the application's parent, a drive) does not count.
bool HoldsInstanceProgram(const std::wstring& folder) {
    const std::wstring full = FullPath(platform::WithDelimiter(folder));
    if (full.empty()) return false;
    for (const std::wstring& program : ServerInstancePrograms())
        if (IsFolderOnLocalFixedDrive(program) &&
            platform::SameName(ParentDir(FullPath(program)), full))
            return true;
    return false;
}

}  // namespace

std::optional<std::wstring> ReadAppDir(const std::wstring& appKey) {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, appKey, outside::kAppDirValue);
}

bool IsFBInstalled(const std::wstring& folder) {
    return platform::EntryExists(folder + outside::kServerExe);
}

ServerFolderCheck CheckServerFolder(const std::wstring& folder) {
    using enum ServerFolderTrust;
    if (folder.empty()) return {kNoServer, L""};
    const std::wstring notTaken = L"Priečinok " + folder + kNotTaken;
    if (!IsFolderOnLocalFixedDrive(folder)) return {kUnknown, notTaken + kNotLocalFixed};
    if (!IsFBInstalled(folder)) return {kNoServer, L""};
    if (HoldsInstanceProgram(folder)) return {kKnown, L""};
    return {kUnknown, notTaken + kNoInstance};
}

std::wstring ParentDir(const std::wstring& path) {
    try {
        std::wstring s = path;
        if (!s.empty() && s.back() == L'\\') s.pop_back();
        size_t cut = s.find_last_of(L"\\:");
        if (cut == std::wstring::npos) return L"";
        // A drive ("C:") stays itself; otherwise the delimiter goes with the name.
        std::wstring folder = s[cut] == L':' ? s.substr(0, cut + 1) : s.substr(0, cut);
        if (folder.empty() || folder.back() != L'\\') folder += L'\\';
        return folder;
    } catch (...) {
        return L"";
    }
}

std::optional<std::wstring> GetProgramFilesDir() {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, outside::kWindowsVersionKey,
                                   outside::kProgramFilesValue, KEY_WOW64_64KEY);
}

}  // namespace environment
