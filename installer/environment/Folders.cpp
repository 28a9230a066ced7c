#include "environment/Folders.h"

#include <windows.h>

#include "outside/Outside.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace environment {

std::optional<std::wstring> ReadAppDir() {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, outside::kAppKey, outside::kAppDirValue);
}

bool IsFBInstalled(const std::wstring& folder) {
    return platform::EntryExists(folder + outside::kServerExe);
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
