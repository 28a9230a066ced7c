// Stand-in for the firewall command: records how it was called and
// succeeds, or ends with 1 when a file "netsh.fail" beside it holds the
// verb ("add", "delete"), as netsh does with the firewall service stopped.
#include <cwchar>

#include "DoubleLog.h"

int wmain() {
    // The rule's removal hangs apart from its addition.
    const wchar_t* verb = wcsstr(GetCommandLineW(), L" delete ") ? L"delete" : L"add";
    doubles::HangIfAsked(L"netsh", verb, L"before");
    doubles::LogCommandLine();
    doubles::HangIfAsked(L"netsh", verb, L"after");
    return doubles::FailureAsked(L"netsh", verb) ? 1 : 0;
}
