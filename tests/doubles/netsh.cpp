// Stand-in for the firewall command: records how it was called and
// succeeds, or ends with 1 when a file "netsh.fail" beside it holds the
// verb ("add", "delete"), as netsh does with the firewall service stopped.
#include <cwchar>
#include <string>

#include "DoubleLog.h"

int wmain() {
    // The rule's removal hangs apart from its addition.
    const wchar_t* verb = wcsstr(GetCommandLineW(), L" delete ") ? L"delete" : L"add";
    doubles::HangIfAsked(L"netsh", verb, L"before");
    doubles::LogCommandLine();
    doubles::HangIfAsked(L"netsh", verb, L"after");
    HANDLE h = CreateFileW((doubles::OwnFolder() + L"netsh.fail").c_str(), GENERIC_READ,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    char text[16] = {};
    DWORD got = 0;
    ReadFile(h, text, sizeof text - 1, &got, nullptr);
    CloseHandle(h);
    std::string asked(text, got);
    while (!asked.empty() && (asked.back() == '\n' || asked.back() == '\r')) asked.pop_back();
    return asked == doubles::ToUtf8(verb) ? 1 : 0;
}
