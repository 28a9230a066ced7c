// The program's run as the wizard keeps it: what the start-up and the
// parameters page found, and the options that shape it; only those two
// write it (the exit code is the window's, RunExit). The engine never sees
// it: the wizard builds the engine's plan from it, the options and the page
// in one place (TWizard::PagePlan).
#pragma once

#include <cstdint>
#include <string>

namespace wizard {

// All zero, false, empty or none until the wizard's FormCreate fills it.
struct RunRecord {
    // Found: the application's folder (the registry's, or the one the
    // page's search chose), and the server folder the page found
    // (data.ini's, else the default). Written by the start-up and the page.
    std::wstring appDir;
    std::wstring serverDir;
    bool m_bSilentInstall = false;
    // /CHECK: the run only tells what an installation would do; it implies
    // /S and never shows a dialog, visible desktop or not.
    bool checkOnly = false;
    int32_t m_nFBSetupVersion = 0;
    int32_t m_nFBVersion = 0;
};

}  // namespace wizard
