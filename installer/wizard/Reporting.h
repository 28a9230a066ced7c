// How a run reports: a box for whoever can see one, the setup log for the
// record, standard error where a script reads it. The wizard owns one
// Reporter and hands it to what reports on the run's behalf.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "wizard/RunExit.h"
#include "wizard/RunRecord.h"
#include "environment/Instances.h"
#include "wizard/SetupLog.h"

namespace wizard {

class Reporter {
public:
    Reporter(const RunRecord& run, RunExit& exit, const SetupLog& log)
        : run_(run), exit_(exit), log_(log) {}

    // An unattended run where nobody could see a window (toolkit::UiSeam::
    // WindowStationVisible): no question is asked, no wait shown, no error
    // box; the log says what happened.
    bool Unseen() const;

    // As wizard::ShowDialog. Unseen no dialog is shown: an error box becomes
    // a log entry, and the dialog answers with `defaultResult` when a button
    // carries it, else No, else OK.
    int ShowDialog(const std::wstring& message, const std::wstring& caption, int type, int buttons,
                   int32_t defaultResult) const;
    int ShowError(const std::wstring& message) const;
    int AskQuestion(const std::wstring& message) const;
    // ShowError as the environment's queries take it.
    environment::ErrorNotice Notice() const;
    // A file of the application's folder left alone because it is a link:
    // a log entry, once per file and run (the scans repeat every few
    // seconds). No box: nothing needs an answer.
    void LinkLeft(const std::wstring& path) const;
    // LinkLeft as the environment's scans take it.
    environment::LinkNotice LinkNotice() const;

    // An error on the way: a log entry when a log is open, and the error box
    // unless the run is unattended. Either way the run ends with kExitFailed.
    void ReportError(const std::wstring& message);
    // ReportError but for the exit code, which the one who reports it sets:
    // the engine's errors, which its outcome counts.
    void TellError(const std::wstring& message);
    // The standard error box for the exception being handled, its text logged
    // first when a log is open; nothing shown where nobody could see it.
    void ReportException() const;
    // A stamped entry in the setup log when one is open.
    void Log(const std::wstring& message) const;
    // The run's exit code and why, on one line, for a run without its log:
    // the first error for kExitFailed (the last entry then only sums up),
    // else the last entry the run meant to log.
    std::wstring ExitExplanation() const;

private:
    const RunRecord& run_;
    RunExit& exit_;
    const SetupLog& log_;
    mutable std::wstring lastEntry_;
    std::wstring firstError_;
    mutable std::set<std::wstring> linksLogged_;
};

// A line on the process's standard error, where a script reads it; nothing
// when there is none.
void WriteStandardError(const std::wstring& line);

}  // namespace wizard
