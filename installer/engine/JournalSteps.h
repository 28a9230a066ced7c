// What undoes and what settles each kind of change the journal records
// (JournalFormat.h gives the kinds' lines and checks).
#pragma once

#include <string>
#include <vector>

#include "engine/JournalFormat.h"
#include "platform/HeldPath.h"

namespace engine {

// Each kind of change as this side of the journal carries it out: what
// undoes it before the commit, and what settles it after. Both may run any
// number of times; folders are undone through `way`, which holds the folders
// above them. Every kind has one (JournalSteps.cpp checks so as it is
// built); for those that change nothing (the run, the commit, a step done
// after it, the end) both do nothing.
struct Step {
    const journal::Kind* kind;
    bool (*undo)(const JournalRecord&, platform::HeldPath& way);
    bool (*settle)(const JournalRecord&, platform::HeldPath& way);
    // The record names a file written in place: the half-written files
    // beside it go with its undo or settlement.
    bool file = false;
    // Settled at the commit itself: what is set aside goes then; `behind`,
    // on a thread of its own beside the run's last steps (Transaction::Commit).
    bool atCommit = false;
    bool behind = false;
};

// The step of a record's kind. A kind this side does not know (never in a
// journal that was read) neither undoes nor settles: the journal stays.
const Step& StepOf(const JournalRecord& record);

// Half-written files that the archive reader and the configuration writer
// leave beside the files the records name (target + ".~…").
void DeleteTemporaries(const std::vector<JournalRecord>& records);

// Moves the file set aside at `aside` back to `path`, over what is there;
// true when there is none.
bool MoveBack(const std::wstring& aside, const std::wstring& path);

}  // namespace engine
