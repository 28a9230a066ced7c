// Conversions between the programs' UTF-16 texts and the byte texts of files
// and messages (CP_ACP, CP_UTF8...), in one place; and the values put into a
// message's pattern.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

std::string ToCodePage(UINT codePage, std::wstring_view text);
std::wstring FromCodePage(UINT codePage, std::string_view bytes);

// `pattern` with each "%s" replaced by the next of `values`, in order; a
// "%s" without a value stays.
std::wstring Fill(const wchar_t* pattern, std::initializer_list<std::wstring> values);

}  // namespace platform
