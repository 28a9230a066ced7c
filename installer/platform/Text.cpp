#include "platform/Text.h"

namespace platform {

std::string ToCodePage(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

std::wstring FromCodePage(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), out.data(), n);
    return out;
}

std::wstring Fill(const wchar_t* pattern, std::initializer_list<std::wstring> values) {
    std::wstring text = pattern;
    size_t from = 0;
    for (const std::wstring& value : values) {
        const size_t at = text.find(L"%s", from);
        if (at == std::wstring::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

}  // namespace platform
