// This computer's name as the installer's marker files carry it; a value
// that cannot be read shows the installer's error box, as in a seen run.
#pragma once

#include <string>

#include "environment/Instances.h"
#include "wizard/Dialogs.h"

namespace testsupport {

inline std::wstring ComputerName() {
    return environment::ReadComputerName([](const std::wstring& m) { wizard::ShowError(m); });
}

}  // namespace testsupport
