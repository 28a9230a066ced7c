#include "archive/Wildcards.h"

#include <cwctype>

namespace archive::zip {

bool MatchesMask(const std::wstring& name, const std::wstring& mask) {
    if (mask == L"*.*" || mask == L"*") return true;
    auto fold = [](wchar_t ch) { return wchar_t(std::towupper(ch)); };
    // Iterative wildcard match with one backtrack point for the last "*".
    size_t n = 0, m = 0, starM = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == L'?' || fold(mask[m]) == fold(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == L'*') {
            starM = m++;
            starN = n;
        } else if (starM != std::wstring::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

}  // namespace archive::zip
