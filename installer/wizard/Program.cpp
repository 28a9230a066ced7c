// Istrel.exe: the wizard, a hidden blocked dialog, the message loop; the
// process ends with the run's exit code (engine::Outcome::ExitCode).
#include <windows.h>

#include <memory>

#include "platform/DllSearch.h"
#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "wizard/BlockedForm.h"
#include "wizard/Wizard.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::LimitDllSearchToSystemDir();  // elevated, maybe from a folder users can write
    toolkit::Application app;
    // The main form; its start-up has run.
    // The kit and the backup tool lie in the folder the installer is started in.
    wizard::TWizard wizard(engine::Places::OfThisPc(platform::CurrentDir()));
    // The hidden blocked dialog's first scan removes stale lock files and,
    // unattended, sends stop requests to the computers that run the
    // application. A start-up that ends at once changes nothing.
    std::unique_ptr<toolkit::Form> blockedForm;
    if (!app.Terminated())
        blockedForm =
            wizard::CreateBlockedForm(wizard.ShownAppDir(), wizard.Run().m_bSilentInstall,
                                      wizard.Reports().Notice(), wizard.Reports().LinkNotice());
    app.Run();
    // Settled first: what the settlement reports on the way counts.
    return wizard.Finish();
}
