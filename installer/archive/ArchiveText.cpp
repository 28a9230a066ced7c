#include "archive/ArchiveText.h"

#include <cstdint>

namespace archive::zip {

std::wstring DecodeUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    auto put = [&out](uint32_t cp) {
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            cp -= 0x10000;
            out += wchar_t(0xD800 + (cp >> 10));
            out += wchar_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += wchar_t(cp);
        }
    };
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < bytes.size();) {
        unsigned char b = bytes[i];
        size_t extra = b < 0x80             ? 0
                       : (b & 0xE0) == 0xC0 ? 1
                       : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3
                                            : 4;
        bool good = extra < 4 && extra < bytes.size() - i;
        uint32_t cp = good ? b & (extra == 0 ? 0x7F : 0x7F >> (extra + 1)) : 0;
        for (size_t k = 1; good && k <= extra; ++k) {
            unsigned char t = bytes[i + k];
            good = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (!good || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            put(0xFFFD);  // one replacement per bad lead byte, then resynchronise
            ++i;
            continue;
        }
        put(cp);
        i += extra + 1;
    }
    return out;
}

std::string EncodeUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = uint32_t(text[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() &&
            uint32_t(text[i + 1]) >= 0xDC00 && uint32_t(text[i + 1]) < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t(text[++i]) - 0xDC00);
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::wstring DecodeCp852(std::string_view bytes) {
    static const uint16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7, 0x0142, 0x00EB, 0x0150,
        0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106, 0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D,
        0x013E, 0x015A, 0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E, 0x0118, 0x0119, 0x00AC, 0x017A,
        0x010C, 0x015F, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
        0x011A, 0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x00A4, 0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
        0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580, 0x00D3, 0x00DF, 0x00D4,
        0x0143, 0x0144, 0x0148, 0x0160, 0x0161, 0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD,
        0x0163, 0x00B4, 0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
        0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
    };
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes) out += b < 0x80 ? wchar_t(b) : wchar_t(kHigh[b - 0x80]);
    return out;
}

}  // namespace archive::zip
