#include "platform/Errors.h"

namespace platform {

namespace {

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

Error::Error(std::wstring message) : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : L"Error " + std::to_wstring(code);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

SystemError::SystemError(DWORD code)
    : Error(L"System Error.  Code: " + std::to_wstring(code) + L".\r\n" + SystemErrorText(code)),
      code_(code) {}

void ThrowLastError() { throw SystemError(GetLastError()); }

}  // namespace platform
