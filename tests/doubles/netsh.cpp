// Stand-in for the firewall command: records how it was called and succeeds.
#include "DoubleLog.h"

int wmain() {
    doubles::HangIfAsked(L"netsh", L"add", L"before");
    doubles::LogCommandLine();
    doubles::HangIfAsked(L"netsh", L"add", L"after");
    return 0;
}
