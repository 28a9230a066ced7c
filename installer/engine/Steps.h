// Small pieces shared by the install sequence, the deployment and the
// service set-up.
#pragma once

#include <windows.h>

#include <string>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "outside/Outside.h"
#include "platform/Paths.h"

namespace engine {

using platform::WithDelimiter;

// A directory entry of that name, whatever its attributes.
inline bool EntryExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace engine
