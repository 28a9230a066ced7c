#include "platform/Paths.h"

#include <windows.h>

#include "platform/Errors.h"

namespace platform {

std::wstring CurrentDir() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    dir.resize(GetCurrentDirectoryW(n, dir.data()));
    return WithDelimiter(dir);
}

std::wstring SystemDir() {
    UINT size = GetSystemDirectoryW(nullptr, 0);
    if (size == 0) ThrowLastError();
    std::wstring dir(size, L'\0');
    UINT n = GetSystemDirectoryW(dir.data(), size);
    if (n == 0 || n >= size) ThrowLastError();
    dir.resize(n);
    return WithDelimiter(dir);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

bool CreateFolders(const std::wstring& folder) {
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1)) {
        const std::wstring part = folder.substr(0, at);
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EntryExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FoldedName(std::wstring name) {
    // The invariant upper case is the table CompareStringOrdinal folds by.
    if (!name.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), int(name.size()),
                      name.data(), int(name.size()), nullptr, nullptr, 0);
    return name;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool StartsWithName(const std::wstring& text, const std::wstring& head) {
    return text.size() >= head.size() &&
           CompareStringOrdinal(text.data(), int(head.size()), head.data(), int(head.size()), TRUE) ==
               CSTR_EQUAL;
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
