// Writer for the engine's parameter blocks. Items whose length field cannot
// hold the value are refused: a longer value would corrupt the block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Errors.h"

namespace quenlet {

class ParamBlock {
public:
    ParamBlock& Byte(unsigned char b) {
        bytes_ += char(b);
        return *this;
    }
    // Tag, one length byte, the value; `what` names the value in the error.
    ParamBlock& String8(unsigned char tag, std::string_view value, const wchar_t* what) {
        CheckLength(value.size(), 255, what);
        Byte(tag).Byte(static_cast<unsigned char>(value.size()));
        bytes_.append(value);
        return *this;
    }
    // Tag, two length bytes low byte first, the value.
    ParamBlock& String16(unsigned char tag, std::string_view value, const wchar_t* what) {
        CheckLength(value.size(), 65535, what);
        Byte(tag).Uint16Le(static_cast<uint16_t>(value.size()));
        bytes_.append(value);
        return *this;
    }
    ParamBlock& Uint16Le(uint16_t v) { return Byte(v & 0xFF).Byte(v >> 8); }
    ParamBlock& Int32Le(int32_t value) {
        uint32_t v = static_cast<uint32_t>(value);
        return Byte(v & 0xFF).Byte((v >> 8) & 0xFF).Byte((v >> 16) & 0xFF).Byte(v >> 24);
    }
    const std::string& Bytes() const { return bytes_; }

    static void CheckLength(size_t length, size_t limit, const wchar_t* what) {
        if (length > limit)
            throw ToolError(kParameterError, std::wstring(what) + L" is too long: " +
                                                 std::to_wstring(length) + L" bytes, at most " +
                                                 std::to_wstring(limit) + L" are allowed");
    }

private:
    std::string bytes_;
};

}  // namespace quenlet
