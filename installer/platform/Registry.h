// Reading string values from the registry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

// The REG_SZ / REG_EXPAND_SZ value `name` of `root\subKey`, opened read-only
// with `extraAccess` (for example KEY_WOW64_64KEY) added to KEY_READ.
// nullopt when the key or the value is missing; raises SystemError when the
// value exists but is not a string or cannot be read. The returned text
// never includes a terminating NUL, also when the stored value lacks one.
std::optional<std::wstring> ReadRegString(HKEY root, const std::wstring& subKey,
                                          const std::wstring& name, REGSAM extraAccess = 0);

}  // namespace platform
