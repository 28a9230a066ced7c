// Placeholders until the install sequence and the running-instance layer
// arrive (see Hooks.h).
#include "shell/Hooks.h"

namespace shell {

void RunInstallSequence(TWizard&) {}

}  // namespace shell
