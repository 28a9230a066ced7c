// What later layers plug into the shell. Each function has a placeholder in
// Hooks.cpp; the layer that provides it removes the placeholder there and
// defines the function in its own sources.
#pragma once

#include <memory>

#include "toolkit/Form.h"

namespace shell {

class TWizard;

// The install sequence that "Dokončiť" runs on the parameters page.
void RunInstallSequence(TWizard& wizard);

// The hidden blocked dialog that the program keeps from start to end; its
// creation step and timer run although it is never shown.
std::unique_ptr<toolkit::Form> CreateBlockedForm();

}  // namespace shell
