// Stand-in for the firewall command: records how it was called and succeeds.
#include "DoubleLog.h"

int wmain() {
    doubles::LogCommandLine();
    return 0;
}
