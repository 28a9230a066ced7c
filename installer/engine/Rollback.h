// A run's changes as one transaction, from the run's side: what the journal
// records first, the body run so that a failure or a cancel before the
// commit is undone, and how the undoing is worded for the user.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "engine/Transaction.h"

namespace engine {

// What the journal records of this run before its first change.
DeploymentHeader HeaderFor(const Installation& run, bool installsServer);

// Undoes the deployment the journal records, saying so on the progress
// page: the outcome tells the user that the previous server is back and
// why: `failure`, or the user's cancel when there is none.
Outcome RollBackInstallation(RunState& state, InstallerUi& ui,
                             const std::optional<std::wstring>& failure);

// Undoes what a transaction journalled and words the outcome: after
// `failure`, or after a cancel when there is none.
using RollBackWith = std::function<Outcome(const std::optional<std::wstring>& failure)>;

// Runs `body` as the transaction `tx`: an error raised before the commit,
// or a cancel (body returns false), ends in `rollBack`'s outcome; an error
// raised after the commit goes on up. kFinished when body is done.
Outcome AsOneTransaction(const Transaction& tx, const std::function<bool()>& body,
                         const RollBackWith& rollBack);

}  // namespace engine
