// The wizard's start-up: the run's record from the command line and the PC,
// an earlier run settled, the pages filled, the setup log opened; a
// start-up that cannot go on reports why and ends the program.
#include <windows.h>


#include "environment/Accounts.h"
#include "environment/Folders.h"
#include "environment/SharedFolder.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "toolkit/Seam.h"
#include "wizard/LogEntry.h"
#include "wizard/Messages.h"
#include "wizard/NewFrame.h"
#include "wizard/Wizard.h"

namespace wizard {

using platform::WithDelimiter;

void TWizard::FormCreate() {
    ResetRun();
    if (!ReadStartOptions()) return;
    // A check only looks: it takes no guard, whose folders a run makes.
    if (options_.check) return CheckOnly();
    if (!TakeDeploymentGuard() || !CheckInstallerFolder() || !FindApplication()) return;
    if (options_.remove) return PrepareRemoval();
    // Open before the pages fill: the parameters page logs a server folder
    // it does not take.
    if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
    if (!InitializePages()) return;
    ApplyOptions();
    // Before the blocked dialog asks other computers to close the application.
    if (run_.m_bSilentInstall && !PagePort()) return RefusePort();
    m_ActiveFrame = NewFrame.get();
    EnableButtons();
}

void TWizard::ResetRun() {
    // A copy from a CD or a download may carry read-only and other
    // attributes; a check changes nothing, not even these.
    const Switches switches = FindSwitches(arguments_);
    if (!switches.check) SetFileAttributesW(ProgramPath().c_str(), FILE_ATTRIBUTE_NORMAL);

    run_.appDir.clear();
    run_.serverDir.clear();
    run_.m_nFBVersion = 0;
    plan_.reset();
    run_.m_bSilentInstall = switches.silent || switches.check;
    run_.checkOnly = switches.check;
    // A removal asks its one question and shows its result in boxes.
    if (run_.m_bSilentInstall || switches.remove) MarkHidden(true);
    SetText(kWindowTitle);

    if (Unseen())
        toolkit::App().SetErrorSink([this](const std::wstring& text) { WriteLogEntry(text); });
}

bool TWizard::ReadStartOptions() {
    options_ = {};
    if (FindSwitches(arguments_).help) {
        ShowUsage();
        return false;
    }
    if (const std::optional<std::wstring> error = ReadOptions(arguments_, options_)) {
        // A script's typo must show in the log it reads.
        if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
        StartUpFailed(*error);
        return false;
    }
    return true;
}

// Before the first change: the run that holds the guard may be writing the
// journal that this start-up would otherwise settle. A second run changes
// nothing and is one to retry, as a postponed one. A guard that cannot be
// made at all is a fault of the journal's folder for an administrator to
// look at, as with a journal refused for its folder.
bool TWizard::TakeDeploymentGuard() {
    try {
        if (engine_.TakeGuard()) return true;
    } catch (const platform::Error& e) {
        if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
        StartUpFailed(e.Message(), engine::Outcome::kFailed);
        return false;
    }
    if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
    StartUpFailed(kAnotherRunning, engine::Outcome::kPostponed);
    return false;
}

// Elevated, the run loads, extracts and runs what lies in its folder: one
// that others could write is refused before anything changes.
bool TWizard::CheckInstallerFolder() {
    const std::wstring program = ProgramPath();
    const std::optional<std::wstring> refused =
        engine_.CheckInstallerFolder(program.substr(0, program.find_last_of(L'\\') + 1));
    if (!refused) return true;
    if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
    StartUpFailed(*refused, engine::Outcome::kFailed);
    return false;
}

bool TWizard::FindApplication() {
    // An earlier run cut short is settled before anything reads the server
    // folder: the page must show the server the PC really has.
    if (run_.m_bSilentInstall && engine_.JournalExists()) OpenSetupLog();
    const engine::Outcome settled = engine_.SettleEarlierRun();
    if (settled.kind == engine::Outcome::kFailed) {
        // Nothing new starts over a journal that is not settled, nor over
        // one set aside unchecked: the administrator looks first.
        ReportFailed(settled);
        StartUpStopped(engine::Outcome::kFailed);
        return false;
    }
    // Settled all the same; what it reported on the way counts.
    if (settled.errorsReported) exit_.ErrorReported();

    if (run_.appDir.empty()) run_.appDir = environment::ReadAppDir(places_.appKey).value_or(L"");
    if (run_.appDir.empty()) {
        StartUpFailed(kNoApplication);
        return false;
    }
    engine_.AdoptStrayMarker(run_.appDir);
    return true;
}

bool TWizard::InitializePages(bool refuseKitProblem) {
    // Without a kit an unattended run could only report a success that
    // installed nothing.
    kitProblem_ =
        run_.m_bSilentInstall ? engine::KitUnusable(places_.installerDir).value_or(L"") : L"";
    // Processes of other accounts (a server's, an application's run as
    // another user) can then be inspected.
    environment::EnableDebugPrivilege();
    NewFrame->Initialize(true, nullptr, nullptr);
    ProgressFrame->Initialize(false, nullptr, nullptr);
    EndFrame->Initialize(false, nullptr, nullptr);
    if (refuseKitProblem && !kitProblem_.empty() && !ReconfiguresOnly()) {
        OpenSetupLog();
        StartUpFailed(kitProblem_);
        return false;
    }
    return true;
}

std::wstring TWizard::ShownAppDir() const {
    // A page that has not shown a folder yet would show the run's.
    for (const std::wstring& folder : {NewFrame->lAppInfoFolder->Caption(), run_.appDir})
        if (!folder.empty()) return WithDelimiter(folder);
    return {};
}

bool TWizard::ReconfiguresOnly() const {
    return (options_.port || options_.mode) && !run_.serverDir.empty() &&
           environment::IsFBInstalled(run_.serverDir);
}

// /CHECK: the start-up's reading and checking, then the engine's look at
// what the install sequence would do; the log says what and the exit code
// sums it up. Nothing changes: the guard is only looked at, the journal
// only read, no folder made.
void TWizard::CheckOnly() {
    OpenSetupLog();
    if (std::optional<engine::CheckOutcome> outcome = CheckPlan()) {
        for (const std::wstring& line : outcome->lines) WriteLogEntry(line);
        // An ending of the start-up's own outweighs what it found.
        exit_.Checked(outcome->exitCode);
    }
    WriteLogEntry(L"Kontrola skončila s kódom " + std::to_wstring(exit_.Code()) + L".");
    toolkit::App().Terminate();
}

std::optional<engine::CheckOutcome> TWizard::CheckPlan() {
    // Another run holds the guard, or a run could not make it.
    if (const std::optional<engine::Outcome> guard = engine_.LookAtGuard()) {
        StartUpFailed(guard->kind == engine::Outcome::kPostponed ? kAnotherRunning : guard->sentence,
                      guard->kind);
        return std::nullopt;
    }
    if (!CheckInstallerFolder()) return std::nullopt;
    // Where a run settles an earlier one's journal, before anything else.
    if (const std::optional<std::wstring> refused = engine_.InspectEarlierRun()) {
        reports_.ReportError(*refused);
        return std::nullopt;
    }
    run_.appDir = environment::ReadAppDir(places_.appKey).value_or(L"");
    if (run_.appDir.empty()) {
        StartUpFailed(kNoApplication);
        return std::nullopt;
    }
    // Without the kit (a finished run deletes it) an installed server is
    // still judged: a detection command must tell it is there.
    if (!InitializePages(/*refuseKitProblem=*/false)) return std::nullopt;
    ApplyOptions();
    const std::optional<engine::Plan> plan = PagePlan();
    if (!plan) {
        RefusePort();
        return std::nullopt;
    }
    if (!kitProblem_.empty() &&
        (plan->installServer || !environment::IsFBInstalled(plan->serverDir))) {
        StartUpFailed(kitProblem_);
        return std::nullopt;
    }
    // Never waits: the limit an unattended run would have decides.
    return engine_.Check(*plan);
}

// /REMOVE needs no kit and no page: the log is opened as an installation
// opens it, and FormShow starts the removal once the hidden blocked dialog
// has sent an unattended run's stop requests.
void TWizard::PrepareRemoval() {
    if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
    environment::EnableDebugPrivilege();
}

// Changes nothing; a script that asks gets exit code 0 and no window (no
// log is open yet to take the text).
void TWizard::ShowUsage() {
    Inform(UsageText());
    exit_.End(engine::Outcome::kFinished);
    toolkit::App().Terminate();
}

// Nothing has changed yet; the program ends without showing its window.
void TWizard::StartUpFailed(const std::wstring& message, engine::Outcome::Kind ending) {
    reports_.TellError(message);
    StartUpStopped(ending);
}

void TWizard::StartUpStopped(engine::Outcome::Kind ending) {
    exit_.End(ending);
    toolkit::App().Terminate();
}

// The options set the page as a user would, so an attended run takes them
// from there; unattended the port goes to the plan directly (PagePlan).
void TWizard::ApplyOptions() {
    TNewFrame& page = *NewFrame;
    if (options_.port && !run_.m_bSilentInstall) page.edPort->SetText(options_.port->Text());
    if (options_.mode) {
        const std::pair<const outside::ServerMode*, toolkit::RadioButton*> modes[] = {
            {&outside::kModeSuper, page.gSS},
            {&outside::kModeClassic, page.gCS},
            {&outside::kModeSuperClassic, page.gSC}};
        for (const auto& [mode, button] : modes)
            if (std::wstring(mode->iniCode) == options_.mode->iniCode) button->SetChecked(true);
    }
    // The folder edit belongs to the install state: a kept server stays where it is.
    if (options_.dir && page.chFB->Checked()) page.edFbFolder->SetText(*options_.dir);
}

void TWizard::OpenSetupLog() {
    if (logTried_) return;  // open already, or reported
    logTried_ = true;
    // Without /LOG a fixed place, whatever folder the application lives in.
    const std::wstring path =
        options_.log ? *options_.log : WithDelimiter(outside::kMakerDir) + outside::kSetupLog;
    if (options_.log) platform::CreateFolders(path.substr(0, path.find_last_of(L'\\') + 1));
    if (m_logFd.Open(path)) {
        // Which program wrote what follows; not a message a report repeats.
        m_logFd.Write(LogEntry(ProgramAndVersion()));
        return;
    }
    logFailed_ = true;
    // The run goes on without it; a script reads standard error.
    const DWORD error = GetLastError();
    const std::wstring why =
        L"Záznam inštalácie " + path +
        L" sa nedá otvoriť, inštalácia pokračuje bez neho. Príčina: " +
        (error == ERROR_REPARSE_POINT_ENCOUNTERED ? environment::LinkLeftText(path)
                                                  : platform::SystemErrorText(error));
    if (run_.m_bSilentInstall)
        WriteStandardError(why);
    else
        reports_.ShowError(why);
}

void TWizard::CloseLog() {
    if (logFailed_ && run_.m_bSilentInstall) WriteStandardError(reports_.ExitExplanation());
    logFailed_ = false;
    m_logFd.Close();
    logTried_ = false;
}

}  // namespace wizard
