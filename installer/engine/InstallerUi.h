// What the engine needs from a person: questions, reports, the progress
// page and the wait for the application. The wizard implements it and
// decides, attended or not, how each reaches the user; which page follows a
// step is the wizard's too (the engine returns an outcome). Everything here
// runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

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

    // Who must answer a question: some are asked in an unattended run too,
    // others only of a person in front of the window (unattended: Yes).
    enum class Asked { kAlways, kOnlyAttended };

    // A question that guards a step (default No); false only for No.
    virtual bool Confirm(const std::wstring& question, Asked asked) = 0;
    // An error on the way that does not stop the run: told as TellError
    // tells it, and the run's outcome says errorsReported.
    void ReportError(const std::wstring& message) {
        errorsReported_ = true;
        TellError(message);
    }
    // Whether ReportError was called since the last call; forgets it.
    bool TakeErrorsReported() { return std::exchange(errorsReported_, false); }

    // A message that needs no answer: an information box, or unattended a
    // log entry. The exit code stays as it is.
    virtual void Inform(const std::wstring& message) = 0;
    // The error box, also in an unattended run (an unreadable computer name).
    virtual void ShowErrorBox(const std::wstring& message) = 0;
    // A setup-log entry when a log is open, nothing shown: what the run left
    // alone and why. The exit code stays as it is.
    virtual void Log(const std::wstring& message) = 0;

    // Waits in the blocked dialog while instances of the application run in
    // `appDir`, at most `limitSeconds` when that is not negative (0: not at
    // all). Nothing shown when none runs.
    virtual WaitResult WaitForApplication(const std::wstring& appDir, int32_t limitSeconds) = 0;

    // The progress page, its finishing button disabled.
    virtual void ShowProgressPage() = 0;
    // The bar's maximum grows by `units`; the status line reads `status`.
    virtual void ExtendProgress(int32_t units, const std::wstring& status) = 0;
    virtual void AdvanceProgress(int32_t units) = 0;
    // Lets the window handle what is pending (and "Storno" ask its question).
    virtual void KeepResponsive() = 0;

    // The kit's extraction runs from ExtractionStarted to ExtractionEnded:
    // in between, "Storno" (and the close icon) ask whether to stop it
    // instead of ending the program.
    virtual void ExtractionStarted() = 0;
    virtual void ExtractionEnded() = 0;
    // Whether the user asked to stop the extraction since it started.
    virtual bool CancelRequested() = 0;

protected:
    // An error for the user: the error box, or unattended a log entry.
    virtual void TellError(const std::wstring& message) = 0;

private:
    bool errorsReported_ = false;
};

}  // namespace engine
