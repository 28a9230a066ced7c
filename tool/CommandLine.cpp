#include "CommandLine.h"

namespace quenlet {

namespace {

bool IsSeparator(wchar_t c) {
    return c >= 1 && c <= 32;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> items;
    size_t i = 0, n = line.size();
    auto at = [&](size_t k) { return k < n ? line[k] : L'\0'; };
    for (;;) {
        for (;;) {
            while (IsSeparator(at(i))) ++i;
            if (at(i) == L'"' && at(i + 1) == L'"')
                i += 2;
            else
                break;
        }
        if (at(i) == L'\0') break;
        std::wstring item;
        while (at(i) != L'\0' && !IsSeparator(at(i))) {
            if (at(i) == L'"') {
                ++i;
                while (at(i) != L'\0' && at(i) != L'"') item += line[i++];
                if (at(i) == L'"') ++i;
            } else {
                item += line[i++];
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

Arguments ArgumentsFrom(const std::vector<std::wstring>& items) {
    auto item = [&](size_t k) { return k < items.size() ? items[k] : std::wstring(); };
    return Arguments{item(1), item(2), item(3), item(4)};
}

}  // namespace quenlet
