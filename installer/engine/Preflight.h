// What a run meets before its first change, in the order it meets it, and
// the changes it would then make: one list that the install sequence acts
// on and /CHECK prints (a check added here is in both). Making the list
// changes nothing; the folders on the way to the server folder stay held
// from its look to the run's use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"

namespace engine {

struct PreflightLine {
    enum Kind {
        kStop,    // the run ends here, before any change: `code`, `text` says why
        kAsk,     // a question (`asked`); "Nie" stops the run (2)
        kWait,    // the markers, and the wait while `count` instances of the application run
        kChange,  // what the run would change
    };
    Kind kind = kChange;
    std::wstring text;      // what /CHECK says
    std::wstring sentence;  // kStop: what the run says when it stops there
    int32_t code = kExitDone;                             // kStop
    InstallerUi::Asked asked = InstallerUi::Asked::kAlways;  // kAsk
    int count = 0;                                        // kWait
    // A stop of /CHECK's answer only: the run goes on and meets it in its
    // own way (a kit it cannot open raises on the progress page; a kept
    // server that is not known is left alone).
    bool runGoesOn = false;
};

// The run's list for `run`'s plan: a stop ends it (nothing after a stop is
// looked at). A server folder that is not known is logged as a run logs it.
std::vector<PreflightLine> Preflight(Installation& run, InstallerUi& ui);

}  // namespace engine
