// How the program's run ends: one result, kept by the window, and the exit
// code computed from it in one place (engine::Outcome::ExitCode). What ends
// the run says so here; a more severe ending outweighs a milder one and
// nothing lowers it; an error reported on the way makes any ending a
// failure.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/Engine.h"

namespace wizard {

class RunExit {
public:
    // The run ended as `outcome` says, unless it ended more severely
    // before; the errors it reported on the way count either way.
    void End(const engine::Outcome& outcome) {
        if (!ending_ || engine::Outcome::Severity(outcome.kind) > engine::Outcome::Severity(*ending_))
            ending_ = outcome.kind;
        errors_ = errors_ || outcome.errorsReported;
    }
    void End(engine::Outcome::Kind kind) { End(engine::Outcome{kind, {}, false}); }
    // Ends the run as `kind` only when nothing ended it before: the window
    // closed before the end page, say, after the run had been postponed.
    void EndIfOpen(engine::Outcome::Kind kind) {
        if (!ending_ && !checked_) ending_ = kind;
    }
    // An error reported on the way: the run ends failed.
    void ErrorReported() { errors_ = true; }
    // /CHECK's own answer, when nothing ended the run before it looked.
    void Checked(int32_t code) {
        if (!ending_) checked_ = code;
    }

    int32_t Code() const {
        if (checked_ && !errors_) return *checked_;
        return engine::Outcome{ending_.value_or(engine::Outcome::kFinished), {}, errors_}.ExitCode();
    }

private:
    std::optional<engine::Outcome::Kind> ending_;
    std::optional<int32_t> checked_;
    bool errors_ = false;
};

}  // namespace wizard
