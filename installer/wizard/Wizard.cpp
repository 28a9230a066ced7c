// The wizard window: its controls and pages, the buttons between the pages,
// and the clean-up of every way out. Its start-up is StartUp.cpp, its side
// of an installation Installing.cpp.
#include "wizard/Wizard.h"

#include <shellapi.h>

#include "environment/SharedFolder.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"
#include "resources/Layouts.h"
#include "wizard/Dialogs.h"
#include "toolkit/Application.h"

namespace wizard {

namespace {

using platform::WithDelimiter;

}  // namespace

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> out;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const platform::UniqueLocalMemory owner(argv);
    for (int i = 1; argv && i < count; ++i) out.emplace_back(argv[i]);
    return out;
}

TWizard::TWizard(const engine::Places& places, std::vector<std::wstring> arguments)
    : toolkit::Form(resources::kWizardForm), places_(places), arguments_(std::move(arguments)) {
    BindHandlers();
    Build(*this, resources::WizardLayout(), OwnFont());
    FindControls();
    NewFrame =
        std::make_unique<TNewFrame>(*this, run_, reports_, places_.KitPath(), kitProblem_);
    ProgressFrame = std::make_unique<TProgressFrame>(*this);
    EndFrame = std::make_unique<TEndFrame>(*this);

    toolkit::Application& app = toolkit::App();
    if (!app.MainForm()) app.SetMainForm(this);
    try {
        FormCreate();
    } catch (...) {
        // A start-up cut short (a damaged kit, say) leaves no active page:
        // Back and Next would lead nowhere and an unattended run would wait
        // hidden for ever. After the error box it ends as the start-up
        // failures do.
        if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
        reports_.ReportException();
        exit_.End(engine::Outcome::kRefused);
        app.Terminate();
    }
}

TWizard::~TWizard() {
    SettleBeforeExit();  // an end without closing the window
    toolkit::App().SetErrorSink(nullptr);
    CloseLog();
    if (toolkit::App().MainForm() == this) toolkit::App().SetMainForm(nullptr);
}

void TWizard::BindHandlers() {
    Bind(L"BackClick", [this] { BackClick(); });
    Bind(L"NextClick", [this] { NextClick(); });
    Bind(L"OKClick", [this] { OKClick(); });
    Bind(L"CancelClick", [this] { CancelClick(); });
    Bind(L"FormShow", [this] { FormShow(); });
    Bind(L"FormClose", [this] { FormClose(); });
    BindKeyDown([this](WORD& key) { FormKeyDown(key); });
    // The close icon during the extraction asks as "Storno" does: closing
    // there would run the clean-up under a half-replaced server.
    BindCloseQuery([this] {
        if (!extracting_) return true;
        CancelClick();
        return false;
    });
}

void TWizard::FindControls() {
    Panel1 = &Get<toolkit::Panel>(L"Panel1");
    imgSetup = &Get<toolkit::Picture>(L"imgSetup");
    line = &Get<toolkit::Control>(L"line");
    Back = &Get<toolkit::Button>(L"Back");
    Next = &Get<toolkit::Button>(L"Next");
    OK = &Get<toolkit::Button>(L"OK");
    Cancel = &Get<toolkit::Button>(L"Cancel");
    imgSetup->LoadPngResource(resources::kBannerResource);
}

void TWizard::FormShow() {
    if (options_.remove) return RunRemoval();
    if (m_ActiveFrame != NewFrame.get() || !run_.m_bSilentInstall) return;
    OpenSetupLog();
    OKClick();
}

void TWizard::Halt(engine::Outcome::Kind ending) {
    exit_.End(ending);
    // The rest of the close clean-up is skipped here, but a marker left in
    // place would stop the application's scheduled backup for good, and the
    // guard's file would outlive the run.
    SettleBeforeExit();
    WriteRunEvent();
    CloseLog();
    engine_.GiveBackGuard();
    toolkit::Application::Halt(UINT(exit_.Code()));
}

void TWizard::EnableButtons() {
    Back->SetEnabled(m_ActiveFrame->m_PreviousFrame != nullptr);
    toolkit::Button* shown = m_ActiveFrame->m_NextFrame ? Next : OK;
    toolkit::Button* hidden = m_ActiveFrame->m_NextFrame ? OK : Next;
    hidden->SetEnabled(false);
    hidden->SetVisible(false);
    shown->SetEnabled(true);
    shown->SetVisible(true);
    shown->SetDefault(true);
}

void TWizard::NextClick() {
    m_ActiveFrame->SetVisible(false);
    m_ActiveFrame = m_ActiveFrame->m_NextFrame;
    m_ActiveFrame->SetVisible(true);
    EnableButtons();
}

void TWizard::BackClick() {
    m_ActiveFrame->SetVisible(false);
    m_ActiveFrame = m_ActiveFrame->m_PreviousFrame;
    m_ActiveFrame->SetVisible(true);
    EnableButtons();
}

void TWizard::CancelClick() {
    if (extracting_) {
        // The extraction asks CancelRequested at its next progress step.
        cancelRequested_ = reports_.AskQuestion(L"Ukončiť?") == kResultYes;
        if (cancelRequested_) exit_.End(engine::Outcome::kCancelled);
        return;
    }
    Halt(engine::Outcome::kStopped);
}

void TWizard::OKClick() {
    if (m_ActiveFrame == EndFrame.get()) {
        Close();
        return;
    }
    if (m_ActiveFrame == NewFrame.get()) RunInstallSequence();
}

void TWizard::FormKeyDown(WORD& Key) {
    if (m_ActiveFrame == EndFrame.get() && Key == VK_ESCAPE) Close();
}

void TWizard::FormClose() {
    // Closed before the end page: the installation did not finish.
    if (m_ActiveFrame != EndFrame.get()) exit_.EndIfOpen(engine::Outcome::kStopped);
    // Every deletion may fail; the next one runs regardless.
    SettleBeforeExit();
    // Without an application folder the names would lead to the drive's root.
    if (!run_.appDir.empty())
        for (const wchar_t* file : {outside::kDbCheckFile, outside::kTemplateDb})
            DeleteAppFile(WithDelimiter(run_.appDir) + file);
    // After anything but a clean end the same command must be able to run again.
    if (exit_.Code() != kExitDone) return;
    std::wstring self = ProgramPath();
    self = self.substr(self.find_last_of(L'\\') + 1);
    engine_.DeleteKitFiles(!platform::SameName(self, outside::kSetupLauncher));
}

int32_t TWizard::Finish() {
    SettleBeforeExit();
    WriteRunEvent();  // the exit code is final now
    CloseLog();
    return exit_.Code();
}

void TWizard::SettleBeforeExit() {
    // A check only looks, also at a journal an earlier run left.
    if (run_.checkOnly) return;
    engine_.DeleteOwnMarkers();
    // Without the guard the journal is another run's: nothing to settle.
    if (!engine_.HoldsGuard()) return;
    // A journal held is not told twice.
    const engine::Outcome settled = engine_.SettleEarlierRun();
    if (settled.kind == engine::Outcome::kFailed)
        ReportFailed(settled);
    else if (settled.errorsReported)
        exit_.ErrorReported();
}

void TWizard::DeleteAppFile(const std::wstring& path) {
    if (environment::DeleteSharedFile(path) == environment::SharedChange::kLinkLeft)
        reports_.LinkLeft(path);
}

}  // namespace wizard
