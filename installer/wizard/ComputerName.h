// The computer name that marker files carry, as the wizard reads it.
#pragma once

#include <string>

namespace wizard {

// Upper case, empty when unknown; an unreadable value shows the error box.
std::wstring ReadComputerName();

}  // namespace wizard
