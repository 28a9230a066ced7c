#include "wizard/Wizard.h"

#include <shellapi.h>

#include <algorithm>

#include "environment/Discovery.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "resources/Layouts.h"
#include "wizard/Dialogs.h"
#include "toolkit/Application.h"
#include "toolkit/Seam.h"

namespace wizard {

namespace {

constexpr wchar_t kCaption[] = L"Lumera SQL      - inštalácia Firebird Servera";
constexpr wchar_t kCaption64[] = L" 64 bitová verzia";
constexpr wchar_t kNotSupported[] = L"Program na Vašej verzii Windows nie je podporovaný!";
// A setup launcher left in the working directory; kept when it is this program.
constexpr wchar_t kSetupExe[] = L"setup.exe";
constexpr wchar_t kNoApplication[] =
    L"Inštalácia nemôže pokračovať. Nainštalujte najprv program Lumera SQL.";

using platform::WithDelimiter;

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

using platform::CurrentDir;

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> out;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i) out.emplace_back(argv[i]);
    LocalFree(argv);
    return out;
}

bool IsSilentSwitch(const std::wstring& argument) {
    return argument.size() >= 2 && argument[0] == L'/' && (argument[1] == L'S' || argument[1] == L's');
}

TWizard::TWizard(std::vector<std::wstring> arguments)
    : toolkit::Form(resources::kWizardForm), arguments_(std::move(arguments)) {
    BindHandlers();
    Build(*this, resources::WizardLayout(), OwnFont());
    FindControls();
    NewFrame = std::make_unique<TNewFrame>(*this, run_, reports_, m_szKitProblem);
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
        run_.m_nExitCode = kExitNotStarted;
        app.Terminate();
    }
}

TWizard::~TWizard() {
    RemoveOwnMarkers();  // an end without closing the window
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
        if (!(run_.Zip && run_.Zip->IsOpen())) return true;
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

void TWizard::FormCreate() {
    ResetRun();
    if (!ReadStartOptions() || !CheckWindows() || !FindApplication() || !InitializePages()) return;
    m_ActiveFrame = NewFrame.get();
    EnableButtons();
    ApplyOptions();
    if (run_.m_bSilentInstall) run_.m_nWaitSeconds = Unseen() ? 0 : options_.wait.value_or(-1);
    if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
}

void TWizard::ResetRun() {
    // A copy from a CD or a download may carry read-only and other attributes.
    SetFileAttributesW(ProgramPath().c_str(), FILE_ATTRIBUTE_NORMAL);

    run_.m_bSilentInstall = false;
    run_.m_bSuspendCreated = false;
    run_.m_szAppDir.clear();
    run_.m_szFBDir.clear();
    run_.m_szFBPort = outside::kNewServerPort;
    for (const std::wstring& argument : arguments_) {
        if (IsSilentSwitch(argument)) {
            run_.m_bSilentInstall = true;
            MarkHidden(true);
        }
    }
    SetText(std::wstring(kCaption) + kCaption64);
    run_.Zip = nullptr;
    run_.m_RequiredBytes = run_.m_ProgressPrevious = run_.m_ProgressNext = 0;
    run_.m_szGdsSource.clear();

    if (Unseen())
        toolkit::App().SetErrorSink([this](const std::wstring& text) { WriteLogEntry(text); });
}

bool TWizard::ReadStartOptions() {
    options_ = {};
    if (std::any_of(arguments_.begin(), arguments_.end(), IsHelpSwitch)) {
        ShowUsage();
        return false;
    }
    if (std::wstring error = ReadOptions(arguments_, options_); !error.empty()) {
        // A script's typo must show in the log it reads.
        if (run_.m_bSilentInstall || options_.log) OpenSetupLog();
        StartUpFailed(error);
        return false;
    }
    return true;
}

bool TWizard::CheckWindows() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;  // the 276-byte record
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        run_.m_bIsNT = false;
        StartUpFailed(kNotSupported);
        return false;
    }
    run_.m_bIsNT = true;
    run_.m_bVista = version.dwMajorVersion > 5;
    run_.m_nFBVersion = 0;
    return true;
}

bool TWizard::FindApplication() {
    // An earlier run cut short is settled before anything reads the server
    // folder: the page must show the server the PC really has.
    if (run_.m_bSilentInstall && run_.m_Journal.Exists()) OpenSetupLog();
    engine::SettleEarlierRun(run_, *this);

    if (run_.m_szAppDir.empty()) run_.m_szAppDir = environment::ReadAppDir();
    if (run_.m_szAppDir.empty()) {
        StartUpFailed(kNoApplication);
        return false;
    }
    return true;
}

bool TWizard::InitializePages() {
    // Without a kit an unattended run could only report a success that
    // installed nothing.
    m_szKitProblem = run_.m_bSilentInstall ? engine::KitUnusable(CurrentDir()) : L"";
    NewFrame->Initialize(true, nullptr, nullptr);
    ProgressFrame->Initialize(false, nullptr, nullptr);
    EndFrame->Initialize(false, nullptr, nullptr);
    if (!m_szKitProblem.empty() && !ReconfiguresOnly()) {
        OpenSetupLog();
        StartUpFailed(m_szKitProblem);
        return false;
    }
    return true;
}

std::wstring TWizard::ShownAppDir() const {
    // A page that has not shown a folder yet would show the run's.
    for (const std::wstring& folder : {NewFrame->lAppInfoFolder->Caption(), run_.m_szAppDir})
        if (!folder.empty()) return WithDelimiter(folder);
    return {};
}

bool TWizard::ReconfiguresOnly() const {
    return (options_.port || options_.mode) && !run_.m_szFBDir.empty() &&
           environment::IsFBInstalled(run_.m_szFBDir);
}

// Changes nothing; a script that asks gets exit code 0 and no window (no
// log is open yet to take the text).
void TWizard::ShowUsage() {
    Inform(UsageText());
    run_.m_nExitCode = kExitDone;
    toolkit::App().Terminate();
}

// Nothing has changed yet; the program ends without showing its window.
void TWizard::StartUpFailed(const std::wstring& message) {
    reports_.ReportError(message);
    run_.m_nExitCode = kExitNotStarted;
    toolkit::App().Terminate();
}

// The options set the page as a user would, so the run takes them from there.
void TWizard::ApplyOptions() {
    TNewFrame& page = *NewFrame;
    if (options_.port) page.edPort->SetText(*options_.port);
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

void TWizard::FormShow() {
    if (m_ActiveFrame != NewFrame.get() || !run_.m_bSilentInstall) return;
    OpenSetupLog();
    OKClick();
}

void TWizard::OpenSetupLog() {
    if (logTried_) return;  // open already, or reported
    logTried_ = true;
    // Without /LOG a fixed place, whatever folder the application lives in.
    const std::wstring path =
        options_.log ? *options_.log : WithDelimiter(outside::kMakerDir) + outside::kSetupLog;
    if (options_.log) platform::CreateFolders(path.substr(0, path.find_last_of(L'\\') + 1));
    if (log_.Open(path)) return;
    // The run goes on without it; a script reads standard error.
    const std::wstring why = L"Záznam inštalácie " + path +
                             L" sa nedá otvoriť, inštalácia pokračuje bez neho. Príčina: " +
                             platform::SystemErrorText(GetLastError());
    if (run_.m_bSilentInstall)
        WriteStandardError(why);
    else
        reports_.ShowError(why);
}

void TWizard::CloseLog() {
    log_.Close();
    logTried_ = false;
}

void TWizard::Halt(int32_t code) {
    run_.SetExitCode(code);
    // The rest of the close clean-up is skipped here, but a marker left in
    // place would stop the application's scheduled backup for good.
    RemoveOwnMarkers();
    CloseLog();
    toolkit::Application::Halt(UINT(run_.m_nExitCode));
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
    if (run_.Zip && run_.Zip->IsOpen()) {
        // The extraction looks at run_.Canceled at its next progress step.
        run_.Canceled = reports_.AskQuestion(L"Ukončiť?") == kResultYes;
        if (run_.Canceled) run_.SetExitCode(kExitStopped);
        return;
    }
    Halt(kExitStopped);
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
    if (m_ActiveFrame != EndFrame.get()) run_.SetExitCode(kExitStopped);
    // Every deletion may fail; the next one runs regardless.
    RemoveOwnMarkers();
    std::wstring app = WithDelimiter(run_.m_szAppDir);
    DeleteFileW((app + outside::kDbCheckFile).c_str());
    DeleteFileW((app + outside::kTemplateDb).c_str());
    // After anything but a clean end the same command must be able to run again.
    if (run_.m_nExitCode != kExitDone) return;
    std::wstring cwd = CurrentDir();
    DeleteFileW((cwd + outside::kKitArchive).c_str());
    std::wstring self = ProgramPath();
    self = self.substr(self.find_last_of(L'\\') + 1);
    if (CompareStringOrdinal(self.c_str(), -1, kSetupExe, -1, TRUE) != CSTR_EQUAL)
        DeleteFileW((cwd + kSetupExe).c_str());
}

void TWizard::RemoveOwnMarkers() {
    for (const std::wstring& marker : run_.m_OwnMarkers) DeleteFileW(marker.c_str());
    run_.m_OwnMarkers.clear();
    engine::SettleEarlierRun(run_, *this);
}

}  // namespace wizard
