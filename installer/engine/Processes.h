// Starting the outside programs of an installation (the server's service
// tool, the firewall command) and how such a run ended.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// How a program shows itself.
enum class ProgramWindow { kNormal, kMinimised };  // minimised: not activated either
// Whether RunProgram waits for the program to end.
enum class ProgramWait { kNo, kUntilEnd };

// How a run of RunProgram ended.
struct ProgramResult {
    enum State {
        kNotStarted,  // the program could not be started
        kStarted,     // started and not waited for
        kEnded,       // ended by itself; exitCode says how
        kTimedOut,    // still running at the time limit, and ended
    };
    State state = kNotStarted;
    int32_t exitCode = 0;  // of a program that ended

    bool Ended() const { return state == kEnded; }
    bool EndedWith(int32_t code) const { return Ended() && exitCode == code; }
};

// Starts a command line (the first token names the program) without
// inheriting handles, with the installer's environment, in the system
// folder. Never in the installer's own, the kit's folder, which users may
// write and where a program would find files planted for it; nor in the
// program's own, since a console program's host may keep that folder open
// a moment after the program ended, and a rollback removes a new server's
// folder right after its tool failed. Waiting, it blocks until the program
// ends, at most ProgramTimeLimitMs(); a program still running then is
// ended.
ProgramResult RunProgram(const std::wstring& commandLine, ProgramWindow window, ProgramWait wait);

// How long RunProgram waits: five minutes, a hung service tool must not
// keep an unattended run for ever. Suites lower it through the environment
// variable ISTREL_PROGRAM_TIME_LIMIT_MS.
uint32_t ProgramTimeLimitMs();

}  // namespace engine
