// How the program's run ends: the exit code, which the window owns apart
// from what the run found (RunRecord). Each step that stops or fails raises
// it; an end of the start-up's own sets it.
#pragma once

#include <cstdint>

#include "engine/Engine.h"

namespace wizard {

class RunExit {
public:
    // Raises the exit code to `code` when it is higher.
    void Raise(int32_t code) {
        if (code > code_) code_ = code;
    }
    // The start-up's own end: `code`, whatever was raised before.
    void Set(int32_t code) { code_ = code; }
    int32_t Code() const { return code_; }

private:
    int32_t code_ = engine::kExitDone;
};

}  // namespace wizard
