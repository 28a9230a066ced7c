// Placeholders until the install sequence and the running-instance layer
// arrive (see Hooks.h).
#include "shell/Hooks.h"

namespace shell {

void RunInstallSequence(TWizard&) {}

std::unique_ptr<toolkit::Form> CreateBlockedForm() {
    return std::make_unique<toolkit::Form>(toolkit::FormSpec{.caption = L"Upozornenie"});
}

}  // namespace shell
