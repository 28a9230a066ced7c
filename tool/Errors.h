// Errors that the tool raises. A step catches those that are its own failure
// into its StepResult; one that escapes ends the run with the "Application
// Error" report, which names the kind and gives the message.
#pragma once

#include <exception>
#include <string>

#include "Platform.h"

namespace quenlet {

class ToolError : public std::exception {
public:
    ToolError(std::wstring kind, std::wstring message)
        : kind_(std::move(kind)), message_(std::move(message)) {}
    const std::wstring& Kind() const { return kind_; }
    const std::wstring& Message() const { return message_; }
    const char* what() const noexcept override { return "quenlet::ToolError"; }

private:
    std::wstring kind_;
    std::wstring message_;
};

// Kinds, as the "Application Error" report names them.
inline constexpr wchar_t kEngineError[] = L"EngineError";        // an error status of a client call
inline constexpr wchar_t kLibraryError[] = L"LibraryError";      // client library not usable
inline constexpr wchar_t kParameterError[] = L"ParameterError";  // a value the server cannot take
inline constexpr wchar_t kConvertError[] = L"ConvertError";      // a text that is no number
inline constexpr wchar_t kOutputError[] = L"OutputError";        // a malformed service reply
inline constexpr wchar_t kFileError[] = L"FileError";            // the result file

// The message a step reports for an error it caught.
inline std::wstring MessageOf(const std::exception& e) {
    if (auto* tool = dynamic_cast<const ToolError*>(&e)) return tool->Message();
    return platform::FromNarrow(e.what());
}

}  // namespace quenlet
