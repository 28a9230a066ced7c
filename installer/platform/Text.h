// Conversions between the programs' UTF-16 texts and the byte texts of files
// and messages (CP_ACP, CP_UTF8...), in one place.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

std::string ToCodePage(UINT codePage, std::wstring_view text);
std::wstring FromCodePage(UINT codePage, std::string_view bytes);

}  // namespace platform
