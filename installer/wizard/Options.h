// Command-line options for installations from a script: port, mode and
// server folder. They set what the parameters page shows before a run uses
// it, so a run without them behaves as the page's defaults say.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "outside/Outside.h"

namespace wizard {

struct InstallOptions {
    std::optional<std::wstring> port;           // decimal, 1..65535, no leading zeros
    const outside::ServerMode* mode = nullptr;  // none chosen
    std::optional<std::wstring> dir;            // ends in "\"
};

// Reads every argument that is not the unattended switch: "/PORT=n",
// "/MODE=SS|CS|SC", "/DIR=folder", names and mode codes in any case; a
// later option overrides an earlier one. Returns the Slovak message for the
// first unknown, malformed or out-of-range argument, empty when all are good.
std::wstring ReadOptions(const std::vector<std::wstring>& arguments, InstallOptions& options);

}  // namespace wizard
