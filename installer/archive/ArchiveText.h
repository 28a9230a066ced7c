// The text codecs of entry names: UTF-8 both ways, and code page 852 for
// names not flagged UTF-8 on platforms without an OEM code page of their own.
#pragma once

#include <string>
#include <string_view>

namespace archive::zip {

// UTF-8 to UTF-16/32 text; invalid sequences become U+FFFD.
std::wstring DecodeUtf8(std::string_view bytes);
// UTF-16/32 text to UTF-8 (surrogate pairs joined).
std::string EncodeUtf8(const std::wstring& text);
// Code page 852 (the OEM code page of a Slovak system), for platforms
// without one of their own.
std::wstring DecodeCp852(std::string_view bytes);

}  // namespace archive::zip
