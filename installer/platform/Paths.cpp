#include "platform/Paths.h"

#include <windows.h>

namespace platform {

std::wstring WithDelimiter(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring CurrentDir() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    dir.resize(GetCurrentDirectoryW(n, dir.data()));
    return WithDelimiter(dir);
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& part) {
    if (part.size() > text.size()) return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (CompareStringOrdinal(text.data() + i, int(part.size()), part.data(), int(part.size()),
                                 TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

}  // namespace platform
