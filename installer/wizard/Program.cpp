// Istrel.exe: the wizard, a hidden blocked dialog, the message loop; the
// process ends with the run's exit code (wizard::ExitCode).
#include <windows.h>

#include "wizard/BlockedForm.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    toolkit::Application app;
    wizard::TWizard wizard;  // the main form; FormCreate has run
    // A start-up that ends at once changes nothing: no scan removes lock
    // files, no stop request goes to another computer.
    auto blockedForm = app.Terminated() ? nullptr : wizard::CreateBlockedForm();
    app.Run();
    return wizard.Run().m_nExitCode;  // ~TWizard closes the setup log
}
