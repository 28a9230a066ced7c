// How the engine reaches the user: the one interface it calls, implemented
// by the wizard. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// How a wait for the application's running instances ended.
struct WaitResult {
    enum Outcome { kNoneRunning, kGaveUp, kTimedOut } outcome = kNoneRunning;
    // Timed out: who still runs it, worded to follow "stále beží" (the
    // computers and their users, or the executable in use).
    std::wstring stillRunning;
};

class InstallerUi {
public:
    virtual ~InstallerUi() = default;

    // A question that guards a step (default No); false only for No.
    virtual bool Confirm(const std::wstring& question) = 0;
    // An error on the way: the error box, or unattended a log entry. The run
    // ends with kExitFailed.
    virtual void ReportFailure(const std::wstring& message) = 0;
    // A message that needs no answer: an information box, or unattended a
    // log entry. The exit code stays as it is.
    virtual void Inform(const std::wstring& message) = 0;
    // The error box, also in an unattended run (an unreadable computer name).
    virtual void ShowErrorBox(const std::wstring& message) = 0;
    // A stamped entry in the setup log; nothing when no log is open.
    virtual void WriteLogEntry(const std::wstring& message) = 0;
    // Closes the wizard window, which ends the run.
    virtual void CloseWizard() = 0;

    // Waits in the blocked dialog while instances of the application run in
    // `appDir`, at most `limitSeconds` when that is not negative (0: not at
    // all). Nothing shown when none runs.
    virtual WaitResult WaitForApplication(const std::wstring& appDir, int32_t limitSeconds) = 0;
    // A stop that leaves the parameters page for another try.
    virtual void ReturnToPage() = 0;

    // The progress page, its finishing button disabled.
    virtual void ShowProgressPage() = 0;
    // The bar's maximum grows by `units`; the status line reads `status`.
    virtual void ExtendProgress(int32_t units, const std::wstring& status) = 0;
    virtual void AdvanceProgress(int32_t units) = 0;
    // Lets the window handle what is pending (and "Storno" ask its question).
    virtual void KeepResponsive() = 0;
    // The end page with the finishing button reading "Koniec".
    virtual void ShowEndPage() = 0;
};

}  // namespace engine
