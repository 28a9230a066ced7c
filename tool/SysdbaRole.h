// The role SYSDBA, dropped before the backup and created again after it, so
// that the backup does not hold it.
#pragma once

#include <string>

#include "StepResult.h"

namespace quenlet {

// Each makes the role's presence what its name says: Changed when it
// committed a drop or a creation, Done when the role was as wanted already,
// Failed with the error's message on any failure.
StepResult DropSysdbaRole(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database);
StepResult CreateSysdbaRole(const std::wstring& userName, const std::wstring& password,
                            const std::wstring& database);

}  // namespace quenlet
