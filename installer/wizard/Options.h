// Command-line options for installations from a script: port, mode and
// server folder set what the parameters page shows before a run uses it, so
// a run without them behaves as the page's defaults say; the wait for
// running instances and the setup log's place go with the run itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "environment/Port.h"
#include "outside/Outside.h"

namespace wizard {

struct InstallOptions {
    std::optional<environment::Port> port;
    const outside::ServerMode* mode = nullptr;  // none chosen
    std::optional<std::wstring> dir;            // ends in "\"
    std::optional<int32_t> wait;                // seconds, 0..86400
    std::optional<std::wstring> log;            // a full path
    bool check = false;                         // /CHECK: tell, change nothing
    bool remove = false;                        // /REMOVE: remove the server
};

// The switches, wherever they stand, read before any option (a run with a
// wrong option still knows whether anybody sees it).
struct Switches {
    // An argument that, upper-cased, begins with "/S" asks for an
    // unattended run.
    bool silent = false;
    // "/CHECK" (any case): the run only tells what an installation with the
    // same options would do now; it implies /S.
    bool check = false;
    // "/REMOVE" (any case): the run removes the server it set up for the
    // application instead of installing one.
    bool remove = false;
    // "/?" and "/HELP" (any case): the usage is shown, nothing else done.
    bool help = false;
};
Switches FindSwitches(const std::vector<std::wstring>& arguments);

// "Istrel 4.3.0.0": the program and its version, as the usage text and
// each run's first entry in the setup log name them.
std::wstring ProgramAndVersion();
// The usage as the help box shows it: the program and its version,
// switches, options, exit codes.
std::wstring UsageText();

// Reads every argument that is not the unattended switch or a help switch:
// "/PORT=n", "/MODE=SS|CS|SC", "/DIR=folder", "/WAIT=seconds", "/LOG=file"
// (made full against the current directory), names and mode codes in any case; a
// later option overrides an earlier one. Returns the Slovak message for the
// first unknown, malformed or out-of-range argument, nothing when all are good.
std::optional<std::wstring> ReadOptions(const std::vector<std::wstring>& arguments, InstallOptions& options);

}  // namespace wizard
