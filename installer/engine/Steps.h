// Small pieces shared by the install sequence, the deployment and the
// service set-up.
#pragma once

#include <windows.h>

#include <string>

#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"

namespace engine {

using platform::WithDelimiter;

// A directory entry of that name, whatever its attributes.
inline bool EntryExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The mode of the checked radio button on the parameters page; nullptr
// when none is checked.
inline const outside::ServerMode* CheckedMode(const environment::TNewFrame& page) {
    if (page.gSS->Checked()) return &outside::kModeSuper;
    if (page.gCS->Checked()) return &outside::kModeClassic;
    if (page.gSC->Checked()) return &outside::kModeSuperClassic;
    return nullptr;
}

}  // namespace engine
