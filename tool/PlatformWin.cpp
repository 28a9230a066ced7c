// Windows: "gds32.dll" by plain name, the ANSI code page, paths with "\".
#include <windows.h>

#include <memory>

#include "Errors.h"
#include "Platform.h"
#include "UniqueFile.h"

namespace quenlet::platform {

const wchar_t kClientLibraryName[] = L"gds32.dll";
const wchar_t kPathDelimiters[] = L"\\:";

namespace {

// FormatMessageW's buffer, which is the caller's to free with LocalFree.
struct LocalMemoryFree {
    void operator()(wchar_t* memory) const { LocalFree(memory); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle file) { return CloseHandle(file) != 0; }
};
using FileHandle = UniqueFile<FileHandleTraits>;

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::unique_ptr<wchar_t, LocalMemoryFree> text(buffer);
    std::wstring message =
        n ? std::wstring(text.get(), n) : L"System error " + std::to_wstring(code);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return message;
}

// Writes the bytes and closes the file: the first failure's code, 0 when
// both worked.
DWORD WriteAndClose(FileHandle& file, const std::string& bytes) {
    DWORD error = 0;
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    if (!file.Close() && !error) error = GetLastError();
    return error;
}

// The one place that decides whether the uncaught path shows its box: only
// in a visible window station, and not when the station cannot be asked.
bool ErrorBoxCanBeSeen() {
    // GetProcessWindowStation's handle is not to be closed.
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    return station &&
           GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) &&
           (flags.dwFlags & WSF_VISIBLE);
}

}  // namespace

std::string ToNarrow(std::wstring_view text) {
    if (text.empty()) return {};
    int n =
        WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ToServerFileName(std::wstring_view text, const wchar_t* what) {
    if (text.empty()) return {};
    UINT codePage = GetACP();
    // UTF-8 represents every character and takes neither the best-fit flag
    // nor the used-default flag; it refuses broken surrogates instead.
    bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    int n = WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr,
                                used);
    std::string out(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0)
        n = WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), out.data(), n,
                                nullptr, used);
    if (n <= 0 || usedDefault)
        throw ToolError(kParameterError, std::wstring(what) +
                                             L" contains characters that the ANSI code page " +
                                             std::to_wstring(codePage) + L" cannot represent: " +
                                             std::wstring(text));
    return out;
}

std::wstring FromNarrow(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), out.data(), n);
    return out;
}

wchar_t DecimalSeparator() {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) < 2) return L'.';
    return buffer[0];
}

void* OpenLibrary(const std::wstring& fileName) {
    // The standard search order: the tool's folder first, then the system
    // folders, the current folder and the path.
    HMODULE library = LoadLibraryW(fileName.c_str());
    if (!library) {
        std::wstring reason = SystemMessage(GetLastError());
        // Messages such as "%1 is not a valid Win32 application" name the file.
        for (size_t at = 0; (at = reason.find(L"%1", at)) != std::wstring::npos;
             at += fileName.size())
            reason.replace(at, 2, fileName);
        throw ToolError(kLibraryError, reason);
    }
    return library;
}

void* FindEntryPoint(void* library, const char* name) {
    FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!entry) throw ToolError(kLibraryError, SystemMessage(ERROR_PROC_NOT_FOUND));
    return reinterpret_cast<void*>(entry);
}

std::wstring OwnExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void DeleteFileQuietly(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

void WriteNewFile(const std::wstring& path, const std::string& bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD error = 0;
    if (!file.Valid())
        error = GetLastError();
    else if ((error = WriteAndClose(file, bytes)) != 0)
        DeleteFileW(path.c_str());
    if (error) throw ToolError(kFileError, path + L": " + SystemMessage(error));
}

void ShowApplicationError(const std::wstring& text) {
    if (!ErrorBoxCanBeSeen()) return;
    MessageBoxW(nullptr, text.c_str(), L"Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace quenlet::platform
