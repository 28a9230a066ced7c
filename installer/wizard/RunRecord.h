// The program's run as the wizard keeps it: what the start-up and the
// parameters page found, the options that shape it, and the exit code. The
// engine never sees it: "Dokončiť" hands the engine a plan built from it
// and from the page.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Engine.h"

namespace wizard {

// All zero, false, empty or none until the wizard's FormCreate fills it.
struct RunRecord {
    std::wstring m_szAppDir;
    // The server folder the page found (data.ini's, else the default).
    std::wstring m_szFBDir;
    std::wstring m_szFBPort;
    bool m_bIsNT = false;
    bool m_bVista = false;
    bool m_bSilentInstall = false;
    // /CHECK: the run only tells what an installation would do; it implies
    // /S and never shows a dialog, visible desktop or not.
    bool m_bCheckOnly = false;
    int32_t m_nFBSetupVersion = 0;
    int32_t m_nFBVersion = 0;
    int32_t m_nExitCode = engine::kExitDone;
    // The longest wait, in seconds, for instances of the application before
    // an unattended run is postponed; negative: as long as they run.
    int32_t m_nWaitSeconds = -1;

    // Raises the exit code to `code` when it is higher.
    void SetExitCode(int32_t code) {
        if (code > m_nExitCode) m_nExitCode = code;
    }
};

}  // namespace wizard
