// A setup log as the wizard's runs leave it: UTF-16LE entries, each run's
// first naming the program and its version.
#pragma once

#include <string>

#include "WinTestSupport.h"
#include "wizard/Options.h"

namespace runlog {

// The whole log as text.
inline std::wstring LogText(const std::wstring& path) {
    const std::string bytes = testsupport::ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// The entries of one run's log after its first, which names the program
// and its version; without that first entry, the whole log marked so that
// no expectation on the rest holds. Stamps are 19 characters and CR LF.
inline std::wstring RunEntries(const std::wstring& path) {
    const std::wstring text = LogText(path), first = wizard::ProgramAndVersion() + L"\r\n";
    if (text.size() < 21 + first.size() || text.compare(21, first.size(), first) != 0)
        return L"<no first entry naming the program> " + text;
    return text.substr(21 + first.size());
}

}  // namespace runlog
