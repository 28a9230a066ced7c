// Errors the installer raises. They carry the user-facing text as UTF-16;
// the toolkit shows Message() in its standard error box at the boundary of
// the event handler that raised it.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace platform {

class Error : public std::exception {
public:
    explicit Error(std::wstring message);
    const std::wstring& Message() const { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    std::wstring message_;
    std::string utf8_;
};

// An operating-system failure: the code and the system's own text for it.
class SystemError : public Error {
public:
    explicit SystemError(DWORD code);
    DWORD Code() const { return code_; }

private:
    DWORD code_;
};

// The system's text for an error code (FormatMessageW), without the trailing
// line break; "Error N" when the system has none. The one place that turns
// codes into text.
std::wstring SystemErrorText(DWORD code);

// Raises SystemError for GetLastError().
[[noreturn]] void ThrowLastError();

}  // namespace platform
