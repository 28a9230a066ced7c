#include "platform/Errors.h"

#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace platform {

Error::Error(std::wstring message)
    : message_(std::move(message)), utf8_(ToCodePage(CP_UTF8, message_)) {}

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    std::wstring text = n ? std::wstring(buffer, n) : L"Error " + std::to_wstring(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

SystemError::SystemError(DWORD code)
    : Error(L"System Error.  Code: " + std::to_wstring(code) + L".\r\n" + SystemErrorText(code)),
      code_(code) {}

void ThrowLastError() {
    throw SystemError(GetLastError());
}

}  // namespace platform
