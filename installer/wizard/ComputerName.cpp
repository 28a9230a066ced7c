#include "wizard/ComputerName.h"

#include "environment/Instances.h"
#include "wizard/Dialogs.h"

namespace wizard {

std::wstring ReadComputerName() {
    return environment::ReadComputerName([](const std::wstring& message) { ShowError(message); });
}

}  // namespace wizard
