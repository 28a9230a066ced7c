// Istrel.exe: the wizard, a hidden blocked dialog, the message loop; the
// process ends with the run's exit code (wizard::ExitCode).
#include <windows.h>

#include "wizard/BlockedForm.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    toolkit::Application app;
    wizard::TWizard wizard;  // the main form; FormCreate has run
    auto blockedForm = wizard::CreateBlockedForm();
    app.Run();
    return wizard.m_nExitCode;  // ~TWizard closes the setup log
}
