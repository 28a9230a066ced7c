// The event a run that may change the PC leaves in the Windows event log,
// for administrators who watch many PCs there rather than in setup logs:
// its ID and level by outcome (one table; the README lists it for their
// filters), a Slovak message as the setup log's, and a last line of
// key=value pairs that a script reads without the Slovak (the event carries
// it alone too, as its second string). Portable, so the native suite
// checks it too.
#pragma once

#include <cstdint>
#include <string>

#include "environment/EventLog.h"

namespace wizard {

// The Application log's source of every run's event.
inline constexpr wchar_t kEventSource[] = L"Istrel";

// What the run was to do, as the key=value line names it.
enum class RunAction {
    kInstall,  // the kit's server (also a run that ended before its page said)
    kKeep,     // the installed server kept, moved when /PORT or /MODE differ
    kRemove,   // /REMOVE
};

struct RunEventKind {
    uint32_t id = 0;
    environment::EventLevel level = environment::EventLevel::kError;
};

// The ID and level of a run's exit code: 0 is 1000 (an installation) or
// 1001 (a removal), 4 is 1010, 2 is 1011, 3 is 1020, 1 is 1021; any other
// code counts as failed.
RunEventKind RunEventKindOf(int32_t exitCode, RunAction action);

// What a run's event tells; empty text where it is not known.
struct RunFacts {
    RunAction action = RunAction::kInstall;
    int32_t exitCode = 0;
    // The exit code and why, one line (Reporter::ExitExplanation).
    std::wstring explanation;
    std::wstring setupLog;  // its path; empty when the run wrote none
    std::wstring version;   // Istrel's
    std::wstring server;    // the server's version, "4.0.5"
    std::wstring folder;    // the server folder
    std::wstring port;
    std::wstring mode;      // SS, CS or SC
    std::wstring instance;  // velmora64b_50064
};

// "version=4.3.0.0 action=install exit=0 server=4.0.5 folder=C:\... port=
// 50064 mode=SS instance=velmora64b_50064": one blank between pairs; a
// value with a blank, a control character or a double quote stands in
// double quotes, each double quote in it doubled.
std::wstring RunKeyValues(const RunFacts& facts);

// The event's one text, lines ended by CR LF but the last: what was done
// or why not, the explanation, where the setup log is, the key=value line.
std::wstring RunEventText(const RunFacts& facts);

}  // namespace wizard
