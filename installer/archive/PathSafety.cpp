#include "archive/PathSafety.h"

namespace archive::zip {

bool SplitSafePath(const std::wstring& name, std::vector<std::wstring>& parts) {
    parts.clear();
    if (name.empty() || name[0] == L'\\' || name[0] == L'/') return false;
    if (name.find(L':') != std::wstring::npos) return false;
    std::wstring part;
    auto flush = [&]() {
        if (part.empty()) return true;
        if (part.find_first_not_of(L". ") == std::wstring::npos) return false;
        parts.push_back(part);
        part.clear();
        return true;
    };
    for (wchar_t ch : name) {
        if (ch == L'\\' || ch == L'/') {
            if (!flush()) return false;
        } else if (ch == 0) {
            return false;
        } else {
            part += ch;
        }
    }
    return flush() && !parts.empty();
}

}  // namespace archive::zip
