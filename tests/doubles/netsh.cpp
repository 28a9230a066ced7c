// Stand-in for the firewall command: records how it was called and succeeds.
#include <cwchar>

#include "DoubleLog.h"

int wmain() {
    // The rule's removal hangs apart from its addition.
    const wchar_t* verb = wcsstr(GetCommandLineW(), L" delete ") ? L"delete" : L"add";
    doubles::HangIfAsked(L"netsh", verb, L"before");
    doubles::LogCommandLine();
    doubles::HangIfAsked(L"netsh", verb, L"after");
    return 0;
}
