// Whether a server instance's port is taken by another running instance.
#pragma once

#include <string>

#include "environment/Port.h"

namespace environment {

// False when another running Firebird service instance is configured for
// `port`; `otherFolder` then receives that instance's folder (two levels
// above its executable) and is untouched otherwise. True at once when the
// server in `folder` itself is configured for `port`. Raises
// platform::SystemError when a running instance's process cannot be
// inspected.
bool IsPortFree(const std::wstring& folder, Port port, std::wstring& otherFolder);

}  // namespace environment
