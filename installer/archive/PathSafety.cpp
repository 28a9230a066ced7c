#include "archive/PathSafety.h"

namespace archive::zip {

namespace {

// "DATABA~1.CON": a name in the form Windows gives a file's short alias (up
// to six characters, "~", digits, and an extension of up to three). On
// Windows it may name another file of the folder than the one it spells,
// one the installer keeps among them.
bool IsShortAlias(const std::wstring& part) {
    const size_t dot = part.find(L'.');
    const std::wstring base = part.substr(0, dot);
    const size_t tilde = base.find(L'~');
    if (tilde == std::wstring::npos || tilde == 0 || tilde > 6 || base.size() > 8 ||
        tilde + 1 == base.size())
        return false;
    for (size_t i = tilde + 1; i < base.size(); ++i)
        if (base[i] < L'0' || base[i] > L'9') return false;
    return dot == std::wstring::npos ||
           (part.size() - dot - 1 <= 3 && part.find(L'.', dot + 1) == std::wstring::npos);
}

}  // namespace

bool SplitSafePath(const std::wstring& name, std::vector<std::wstring>& parts) {
    parts.clear();
    if (name.empty() || name[0] == L'\\' || name[0] == L'/') return false;
    if (name.find(L':') != std::wstring::npos) return false;
    std::wstring part;
    auto flush = [&]() {
        if (part.empty()) return true;
        if (part.find_first_not_of(L". ") == std::wstring::npos || IsShortAlias(part)) return false;
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
