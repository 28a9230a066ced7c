// The wizard window: one per process. It owns the run's record (RunRecord:
// folders, flags, versions), how the run ends (RunExit: the exit code), the
// engine run it hands a plan when "Dokončiť" is pressed, the setup log and
// the reporting policy, and is the user interface that the engine reports to
// (engine::InstallerUi): the questions, the progress and the extraction's
// "Storno". Its pages and dialogs are handed what they need of it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/InstallerUi.h"
#include "wizard/Options.h"
#include "wizard/Pages.h"
#include "wizard/Reporting.h"
#include "wizard/RunRecord.h"
#include "wizard/SetupLog.h"
#include "toolkit/Form.h"

namespace wizard {

class TNewFrame;
struct RunFacts;

// The program's arguments after its own name.
std::vector<std::wstring> CommandLineArguments();
// The full path of the running program.
std::wstring ProgramPath();

// Exit codes of Istrel.exe (engine::ExitCode).
using engine::kExitDone;
using engine::kExitFailed;
using engine::kExitNotStarted;
using engine::kExitPostponed;
using engine::kExitStopped;

// The engine's user interface: wWinMain hands the wizard to the engine.
class TWizard : public toolkit::Form, public engine::InstallerUi {
public:
    // Creates the window, its controls and its pages, then runs FormCreate
    // (whose errors the toolkit shows). `places` are the machine-wide places
    // the run acts on (wWinMain hands in the PC's); `arguments` are the
    // command-line arguments after the program's name. The first wizard
    // becomes the application's main form.
    explicit TWizard(const engine::Places& places,
                     std::vector<std::wstring> arguments = CommandLineArguments());
    ~TWizard() override;

    void FormCreate();
    void FormShow();   // unattended: opens the setup log, then OKClick
    void FormClose();  // the clean-up when the window closes
    // Leaves the PC settled, on every way out of the program: deletes the
    // markers the engine run made, once, and, when this run holds the
    // deployment guard, settles the journal (an unfinished deployment
    // rolled back, a committed one completed).
    void SettleBeforeExit();
    // The end of a run that left the message loop: settled
    // (SettleBeforeExit), its event written, the setup log closed; gives the
    // exit code.
    int32_t Finish();
    void FormKeyDown(WORD& Key);
    void EnableButtons();  // the four buttons for m_ActiveFrame
    void NextClick();
    void BackClick();
    void CancelClick();
    // End page: closes the window. Parameters page: the install sequence.
    void OKClick();

    // Ends the process at once, the run ended as `ending`, the setup log
    // closed; nothing else cleans up.
    [[noreturn]] void Halt(engine::Outcome::Kind ending);
    // Closes the setup log; a later start-up step may open it again. An
    // unattended run whose log could not be opened says its exit code and
    // why on standard error instead.
    void CloseLog();
    const SetupLog& Log() const { return m_logFd; }
    // Where the run's reports go; Reporter::Unseen says whether anyone
    // could see a box.
    const Reporter& Reports() const { return reports_; }
    bool Unseen() const { return reports_.Unseen(); }
    // The application folder the parameters page shows, else the run's,
    // ending in "\"; empty when there is none yet.
    std::wstring ShownAppDir() const;

    // Controls.
    toolkit::Panel* Panel1;
    toolkit::Picture* imgSetup;
    toolkit::Control* line;
    toolkit::Button* Back;
    toolkit::Button* Next;
    toolkit::Button* OK;
    toolkit::Button* Cancel;

    // Pages; the wizard owns them.
    std::unique_ptr<TNewFrame> NewFrame;
    std::unique_ptr<TProgressFrame> ProgressFrame;
    std::unique_ptr<TEndFrame> EndFrame;

    // The page now shown; none before FormCreate.
    TWizFrame* m_ActiveFrame = nullptr;

    // The run's record, all zero, false or empty until FormCreate fills it.
    const RunRecord& Run() const { return run_; }
    // The exit code the program ends with.
    const RunExit& Exit() const { return exit_; }
    // Unattended: why the kit in the installer's folder cannot be used;
    // empty when it can (and in attended runs, whose page says so).
    std::wstring kitProblem_;
private:
    // The plan the run acts on, built from the page once at each press of
    // "Dokončiť".
    std::optional<engine::Plan> plan_;

    // The server folder the parameters page names: the shown one of a kept
    // server, else the folder edit's, else the default beside the application.
    std::wstring PageServerDir() const;
    // The one place the engine's plan is built. RunPlan: the application's
    // folder and the wait's limit, as the run found and the options set
    // them. PagePlan: that, with what "Dokončiť" is to do as the page says
    // it now; nothing when the port breaks the port rule. Unattended the port
    // is /PORT='s, else the one the page found, never its box's.
    // PagePort: the port the plan would take, nothing when it breaks the rule.
    engine::Plan RunPlan() const;
    std::optional<engine::Plan> PagePlan() const;
    std::optional<environment::Port> PagePort() const;
    // A port that breaks the rule starts nothing. Attended, an error box and
    // the page stays for a correction; unattended nobody could correct it,
    // and the run ends as with a bad option.
    void RefusePort();
    // The install sequence; attended, its raised errors reach the toolkit's
    // error box and leave the wizard where it is.
    void RunInstallSequence();
    void ShowOutcome(const engine::Outcome& outcome);
    // The run's end, its exit code and the log's entry: "OK" or that it
    // ended with errors (EndFinished); the outcome's sentence (EndLogged).
    void EndFinished(const engine::Outcome& outcome);
    void EndLogged(const engine::Outcome& outcome);
    // The engine's kFailed: its sentence reported (unless told already),
    // the run failed.
    void ReportFailed(const engine::Outcome& outcome);
    void ShowPage(TWizFrame* page);
    void ReturnToPage();
    void ShowEndPage();
    void WriteLogEntry(const std::wstring& message);
    // Deletes a file of the application's folder; one that is a link stays
    // and is logged.
    void DeleteAppFile(const std::wstring& path);

    // engine::InstallerUi
    bool Confirm(const std::wstring& question, Asked asked) override;
    void Inform(const std::wstring& message) override;
    void ShowErrorBox(const std::wstring& message) override;
    void Log(const std::wstring& message) override;
    engine::WaitResult WaitForApplication(const std::wstring& appDir,
                                          int32_t limitSeconds) override;
    void ShowProgressPage() override;
    void ExtendProgress(int32_t units, const std::wstring& status) override;
    void AdvanceProgress(int32_t units) override;
    void KeepResponsive() override;
    void ExtractionStarted() override;
    void ExtractionEnded() override;
    bool CancelRequested() override;
    void TellError(const std::wstring& message) override;

    void BindHandlers();
    void FindControls();
    // FormCreate's steps; each false when the start-up has ended.
    void ResetRun();
    bool ReadStartOptions();
    bool TakeDeploymentGuard();
    bool CheckInstallerFolder();
    bool FindApplication();
    // An unusable kit ends the start-up only with `refuseKitProblem`.
    bool InitializePages(bool refuseKitProblem = true);
    void OpenSetupLog();
    // Ends the start-up as `ending` (engine::Outcome's), its reason told.
    void StartUpFailed(const std::wstring& message,
                       engine::Outcome::Kind ending = engine::Outcome::kRefused);
    void StartUpStopped(engine::Outcome::Kind ending);
    void ShowUsage();
    // /CHECK (CheckOnly); CheckPlan is nothing when the start-up ended.
    void CheckOnly();
    // /REMOVE: PrepareRemoval at the start-up, RunRemoval when the window
    // shows; the process then ends with the removal's exit code.
    void PrepareRemoval();
    void RunRemoval();
    std::optional<engine::CheckOutcome> CheckPlan();
    // A run that only moves an installed server to another port or mode,
    // which needs no kit.
    bool ReconfiguresOnly() const;
    void ApplyOptions();
    // The run's event in the Windows event log (RunEventFacts.cpp), once,
    // where the exit code the process ends with is final: in Finish, or in
    // Halt.
    void WriteRunEvent();
    RunFacts EventFacts() const;

    const engine::Places places_;
    RunRecord run_;
    RunExit exit_;
    // Its deployment guard is held from the start-up's first change to the
    // end of the process.
    engine::EngineRun engine_{places_, *this};
    // The kit's extraction runs; "Storno" asks whether to stop it.
    bool extracting_ = false;
    // Asked to stop since the extraction started.
    bool cancelRequested_ = false;
    SetupLog m_logFd;         // the setup log; it owns its file
    bool logTried_ = false;   // opened, or its failure reported, since the last CloseLog
    bool logFailed_ = false;  // the log could not be opened
    bool eventWritten_ = false;
    Reporter reports_{run_, exit_, m_logFd};
    std::vector<std::wstring> arguments_;
    InstallOptions options_;
};

}  // namespace wizard
