// The wizard's side of an installation: the parameters page's choices for
// the engine, and the user interface it reports to.
#include <windows.h>

#include "engine/Engine.h"
#include "environment/Folders.h"
#include "environment/Port.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "toolkit/Seam.h"
#include "wizard/BlockedForm.h"
#include "wizard/Dialogs.h"
#include "wizard/Messages.h"
#include "wizard/NewFrame.h"
#include "wizard/Wizard.h"

namespace wizard {

namespace {

using platform::WithDelimiter;

constexpr wchar_t kQuestionCaption[] = L"Otázka";
constexpr wchar_t kEndCaption[] = L"Koniec";
constexpr wchar_t kInformationCaption[] = L"Informácia";
constexpr wchar_t kDoneWithErrors[] = L"Inštalácia ukončená s chybami.";

// The mode of the checked radio button; nullptr when none is checked.
const outside::ServerMode* CheckedMode(const TNewFrame& page) {
    if (page.gSS->Checked()) return &outside::kModeSuper;
    if (page.gCS->Checked()) return &outside::kModeClassic;
    if (page.gSC->Checked()) return &outside::kModeSuperClassic;
    return nullptr;
}

}  // namespace

std::wstring TWizard::PageServerDir() const {
    const TNewFrame& page = *NewFrame;
    // A kept server is the one the page shows, wherever data.ini put it; the
    // (hidden) folder edit only names where to install.
    if (!page.chFB->Checked() && page.lFBInfoFolder->Visible())
        return WithDelimiter(page.lFBInfoFolder->Caption());
    const std::wstring folder = page.edFbFolder->Text();
    return folder.empty() ? environment::ParentDir(run_.appDir) + outside::kDefaultServerDir
                          : WithDelimiter(folder);
}

engine::Plan TWizard::RunPlan() const {
    engine::Plan plan;
    plan.appDir = plan.shownAppDir = run_.appDir;
    // Unattended, the limit of /WAIT=; none where somebody could be asked.
    // Where nobody could see the wait, the run never waits.
    if (run_.m_bSilentInstall)
        plan.waitSeconds = toolkit::Ui().WindowStationVisible() ? options_.wait.value_or(-1) : 0;
    return plan;
}

std::optional<environment::Port> TWizard::PagePort() const {
    if (!run_.m_bSilentInstall) return environment::Port::Parse(NewFrame->edPort->Text());
    return options_.port ? options_.port : NewFrame->FoundPort().port;
}

std::optional<engine::Plan> TWizard::PagePlan() const {
    const TNewFrame& page = *NewFrame;
    const std::optional<environment::Port> port = PagePort();
    if (!port) return std::nullopt;
    engine::Plan plan = RunPlan();
    plan.installServer = page.chFB->Checked();
    plan.shownAppDir = page.lAppInfoFolder->Caption();
    plan.serverDir = PageServerDir();
    plan.port = *port;
    plan.mode = CheckedMode(page);
    return plan;
}

void TWizard::RunInstallSequence() {
    // Built once per press: the plan the run acts on and its event tells.
    plan_ = PagePlan();
    if (!plan_) return RefusePort();
    try {
        ShowOutcome(engine_.Install(*plan_));
    } catch (...) {
        exit_.End(engine::Outcome::kFailed);
        // Attended, the error box leaves the wizard where it is.
        if (!run_.m_bSilentInstall) throw;
        // Unattended the window is hidden: nobody could leave it with "Storno",
        // so after the error is logged and shown the run ends instead of
        // waiting forever.
        reports_.ReportException();
        Close();
    }
}

// Attended, a stop leaves the page for another try and the end page waits
// for "Koniec". Unattended nobody could try again or close the hidden
// window: the run logs how it ended and closes.
void TWizard::ShowOutcome(const engine::Outcome& outcome) {
    using engine::Outcome;
    switch (outcome.kind) {
        case Outcome::kFinished:
            EndFinished(outcome);
            ShowEndPage();
            if (!run_.m_bSilentInstall) return;
            break;
        case Outcome::kStopped:
            // Attended, the page stays for another try: not the run's end.
            if (!run_.m_bSilentInstall) {
                if (outcome.errorsReported) exit_.ErrorReported();
                return ReturnToPage();
            }
            EndLogged(outcome);
            break;
        case Outcome::kPostponed:
            // The markers go with the close.
            EndLogged(outcome);
            break;
        case Outcome::kCancelled:
            Inform(outcome.sentence);
            exit_.End(outcome);
            break;
        case Outcome::kRefused:
        case Outcome::kFailed: ReportFailed(outcome); break;
    }
    Close();
}

void TWizard::EndFinished(const engine::Outcome& outcome) {
    exit_.End(outcome);
    // "OK" only for a run that an administrator need not look into.
    WriteLogEntry(exit_.Code() == kExitDone ? L"OK" : kDoneWithErrors);
}

void TWizard::EndLogged(const engine::Outcome& outcome) {
    if (!outcome.sentence.empty()) WriteLogEntry(outcome.sentence);
    exit_.End(outcome);
}

void TWizard::ReportFailed(const engine::Outcome& outcome) {
    if (!outcome.sentence.empty()) reports_.TellError(outcome.sentence);
    exit_.End(engine::Outcome{engine::Outcome::kFailed, {}, outcome.errorsReported});
}

void TWizard::RunRemoval() {
    using engine::Outcome;
    try {
        const Outcome outcome = engine_.Remove(RunPlan());
        const std::wstring& why = outcome.sentence;
        switch (outcome.kind) {
            case Outcome::kFinished: EndFinished(outcome); break;
            case Outcome::kRefused:
                // Nothing changed: as a start-up that cannot go on.
                WriteLogEntry(why);
                if (!Unseen() && !run_.m_bSilentInstall) reports_.ShowError(why);
                exit_.End(outcome);
                break;
            case Outcome::kStopped:
            case Outcome::kCancelled:
            case Outcome::kPostponed: EndLogged(outcome); break;
            case Outcome::kFailed: ReportFailed(outcome); break;
        }
    } catch (...) {
        exit_.End(Outcome::kFailed);
        reports_.ReportException();
    }
    // No page to close on: the clean-up of every way out runs at the end.
    toolkit::App().Terminate();
}

void TWizard::RefusePort() {
    if (run_.m_bSilentInstall)
        return StartUpFailed(kCannotGoOn + (kWrongPort + NewFrame->FoundPort().text) + L"\r\n" +
                             kPortRule + kPortOption);
    reports_.ShowError(kPortRule);
    SetFocus(NewFrame->edPort->Handle());
    SendMessageW(NewFrame->edPort->Handle(), EM_SETSEL, 0, -1);
}

// ---- engine::InstallerUi ------------------------------------------------------------------

// Only the answer No stops a step.
bool TWizard::Confirm(const std::wstring& question, Asked asked) {
    if (asked == Asked::kOnlyAttended && run_.m_bSilentInstall) return true;
    return reports_.ShowDialog(question, kQuestionCaption, kDialogConfirmation,
                               kButtonYes | kButtonNo, kResultNo) != kResultNo;
}

void TWizard::TellError(const std::wstring& message) {
    reports_.TellError(message);
}

void TWizard::Inform(const std::wstring& message) {
    WriteLogEntry(message);
    if (!run_.m_bSilentInstall)
        reports_.ShowDialog(message, kInformationCaption, kDialogInformation, kButtonOK, kResultOK);
}

void TWizard::ShowErrorBox(const std::wstring& message) {
    reports_.ShowError(message);
}

void TWizard::WriteLogEntry(const std::wstring& message) {
    reports_.Log(message);
}

void TWizard::Log(const std::wstring& message) {
    WriteLogEntry(message);
}

engine::WaitResult TWizard::WaitForApplication(const std::wstring& appDir, int32_t limitSeconds) {
    return WaitForInstances(appDir, limitSeconds, *this);
}

void TWizard::ReturnToPage() {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    OK->SetEnabled(true);
}

void TWizard::ShowPage(TWizFrame* page) {
    m_ActiveFrame->SetVisible(false);
    m_ActiveFrame = page;
    page->SetVisible(true);
}

void TWizard::ShowProgressPage() {
    ShowPage(ProgressFrame.get());
    EnableButtons();
    OK->SetEnabled(false);
}

void TWizard::ExtendProgress(int32_t units, const std::wstring& status) {
    ProgressFrame->pbSetup->SetMax(ProgressFrame->pbSetup->Max() + units);
    ProgressFrame->lStatus->SetCaption(status);
}

void TWizard::AdvanceProgress(int32_t units) {
    ProgressFrame->pbSetup->SetPosition(ProgressFrame->pbSetup->Position() + units);
}

void TWizard::KeepResponsive() {
    toolkit::App().ProcessMessages();
}

void TWizard::ExtractionStarted() {
    extracting_ = true;
    cancelRequested_ = false;
}

void TWizard::ExtractionEnded() {
    extracting_ = false;
}

bool TWizard::CancelRequested() {
    return cancelRequested_;
}

void TWizard::ShowEndPage() {
    EndFrame->SetInfo();
    ShowPage(EndFrame.get());
    Back->SetVisible(false);
    Next->SetVisible(false);
    Cancel->SetVisible(false);
    OK->SetEnabled(true);
    OK->SetCaption(kEndCaption);
}

}  // namespace wizard
