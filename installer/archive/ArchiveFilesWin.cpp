// File side of the archive reader on Windows: UTF-16 paths, names in the
// OEM code page, DOS attributes set on the extracted files.
#include <windows.h>

#include <algorithm>
#include <utility>

#include "archive/ArchiveFiles.h"

namespace archive::files {

namespace {

HANDLE AsHandle(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// The code keeps the message short and language-neutral; the installer's
// own text comes first.
Outcome Failure(const wchar_t* what, const std::wstring& path, DWORD code) {
    return Outcome::Fail(what + path + L" (" + std::to_wstring(code) + L")");
}

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

std::wstring DecodeOemName(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), int(bytes.size()), out.data(), n);
    return out;
}

InputFile::~InputFile() {
    Close();
}

Outcome InputFile::Open(const std::wstring& path) {
    Close();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    LARGE_INTEGER size{};
    if (h == INVALID_HANDLE_VALUE || !GetFileSizeEx(h, &size)) {
        DWORD code = GetLastError();
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        return Failure(L"Súbor sa nedá otvoriť: ", path, code);
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    size_ = uint64_t(size.QuadPart);
    return {};
}

void InputFile::Close() {
    if (handle_ != kNone) CloseHandle(AsHandle(std::exchange(handle_, kNone)));
    size_ = 0;
}

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        uint64_t position = offset + done;
        at.Offset = DWORD(position);
        at.OffsetHigh = DWORD(position >> 32);
        DWORD want = DWORD(std::min<size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), static_cast<char*>(buffer) + done, want, &got, &at) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

OutputFile::~OutputFile() {
    Discard();
}

void* CreateTemporary(const std::wstring& target, unsigned long flags, std::wstring& name) {
    for (int tried = 0; tried < kTemporaryNames; ++tried) {
        name = TemporaryName(target);
        // CREATE_NEW, unlike CREATE_ALWAYS, never opens what is there: a
        // hard link planted under the name would carry the bytes elsewhere.
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    const DWORD error = GetLastError();
    name.clear();
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

Outcome OutputFile::Create(const std::wstring& target) {
    Discard();
    target_ = target;
    HANDLE h = CreateTemporary(target, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, temp_);
    if (h == INVALID_HANDLE_VALUE)
        return Failure(L"Súbor sa nedá vytvoriť: ", target, GetLastError());
    handle_ = reinterpret_cast<intptr_t>(h);
    return {};
}

Outcome OutputFile::Write(const void* data, size_t count) {
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        DWORD want = DWORD(std::min<size_t>(count, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(AsHandle(handle_), p, want, &done, nullptr) || done == 0) {
            return Failure(L"Chyba pri zápise súboru: ", target_, GetLastError());
        }
        p += done;
        count -= done;
    }
    return {};
}

Outcome OutputFile::Commit(uint32_t externalAttributes, uint8_t /*host*/) {
    // Archivers on every system keep the DOS bits in the low byte.
    DWORD attributes = externalAttributes & kKeptAttributes;
    DWORD code = CloseHandle(AsHandle(std::exchange(handle_, kNone))) ? 0 : GetLastError();
    DWORD old = GetFileAttributesW(target_.c_str());
    bool wasReadOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
    if (code == 0 && wasReadOnly &&
        !SetFileAttributesW(target_.c_str(), old & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        code = GetLastError();
    if (code == 0 && !MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        code = GetLastError();
        if (wasReadOnly) SetFileAttributesW(target_.c_str(), old);
    }
    if (code != 0) {
        Outcome failed = Failure(L"Chyba pri zápise súboru: ", target_, code);
        Discard();
        return failed;
    }
    temp_.clear();
    SetFileAttributesW(target_.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
    return {};
}

void OutputFile::Discard() {
    if (handle_ != kNone) CloseHandle(AsHandle(std::exchange(handle_, kNone)));
    if (!temp_.empty()) DeleteFileW(temp_.c_str());
    temp_.clear();
}

Outcome MakeFolders(const std::wstring& path) {
    std::wstring p = path;
    while (p.size() > 1 && (p.back() == L'\\' || p.back() == L'/')) p.pop_back();
    if (p.empty() || (p.size() == 2 && p[1] == L':')) return {};
    DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {};
        return Failure(L"Priečinok sa nedá vytvoriť: ", path, ERROR_DIRECTORY);
    }
    size_t slash = p.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0)
        if (Outcome above = MakeFolders(p.substr(0, slash)); !above.Ok()) return above;
    if (!CreateDirectoryW(p.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return Failure(L"Priečinok sa nedá vytvoriť: ", path, GetLastError());
    }
    return {};
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace archive::files
