#include "engine/Engine.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>

#include "engine/DeploymentGuard.h"
#include "engine/InstallerFolder.h"
#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "environment/SharedFolder.h"
#include "platform/Paths.h"

namespace engine {

namespace {

constexpr wchar_t kJournalFolder[] = L"Velmora\\Istrel\\";
constexpr wchar_t kJournalName[] = L"deployment.journal";

// The 64-bit Program Files folder as the shell names it.
std::wstring ShellProgramFiles() {
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
        !*folder)
        return L"C:\\Program Files";
    return folder;
}

// What `steps` return, with whether they reported errors on the way.
template <typename Steps>
Outcome WithErrorsReported(InstallerUi& ui, Steps steps) {
    ui.TakeErrorsReported();
    Outcome outcome = steps();
    outcome.errorsReported = ui.TakeErrorsReported();
    return outcome;
}

}  // namespace

int32_t Outcome::ExitCode() const {
    if (errorsReported) return kExitFailed;
    switch (kind) {
        case kFinished: return kExitDone;
        case kPostponed: return kExitPostponed;
        case kStopped:
        case kCancelled: return kExitStopped;
        case kRefused: return kExitNotStarted;
        case kFailed: return kExitFailed;
    }
    return kExitFailed;
}

int Outcome::Severity(Kind kind) {
    switch (kind) {
        case kFinished: return 0;
        case kPostponed: return 1;
        case kStopped:
        case kCancelled: return 2;
        case kRefused: return 3;
        case kFailed: return 4;
    }
    return 4;
}

Places Places::OfThisPc(const std::wstring& installerDir) {
    return {outside::kAppKey, platform::WithDelimiter(ShellProgramFiles()) + kJournalFolder,
            environment::GetProgramFilesDir().value_or(L""), platform::WithDelimiter(installerDir)};
}

std::wstring Places::JournalPath() const {
    return platform::WithDelimiter(journalDir) + kJournalName;
}

std::wstring Places::KitPath() const {
    return installerDir + outside::kKitArchive;
}

std::wstring Places::LegacyServerDir() const {
    return platform::WithDelimiter(programFilesDir) + outside::kLegacyFolder;
}

RunState::RunState(const Places& where)
    : places(where), journal(where.JournalPath(), {where.LegacyServerDir()}) {}

EngineRun::EngineRun(const Places& places, InstallerUi& ui)
    : ui_(ui),
      guard_(std::make_unique<DeploymentGuard>(places.journalDir)),
      state_(std::make_unique<RunState>(places)),
      installerFolder_(std::make_unique<InstallerFolder>()) {}

EngineRun::~EngineRun() = default;

bool EngineRun::TakeGuard() {
    return guard_->Take();
}

std::optional<Outcome> EngineRun::LookAtGuard() const {
    const DeploymentGuard::Look look = guard_->LookAt();
    switch (look.kind) {
        case DeploymentGuard::Look::kFree: break;
        case DeploymentGuard::Look::kHeld: return Outcome{Outcome::kPostponed, L""};
        case DeploymentGuard::Look::kUnsafe: return Outcome{Outcome::kFailed, look.why};
    }
    return std::nullopt;
}

bool EngineRun::HoldsGuard() const {
    return guard_->Held();
}

void EngineRun::GiveBackGuard() {
    guard_->Release();
}

std::optional<std::wstring> EngineRun::CheckInstallerFolder(const std::wstring& programDir) {
    return installerFolder_->Check(programDir, state_->places.installerDir);
}

void EngineRun::DeleteKitFiles(bool setupLauncherToo) {
    installerFolder_->DeleteFile(outside::kKitArchive);
    if (setupLauncherToo) installerFolder_->DeleteFile(outside::kSetupLauncher);
}

std::optional<std::wstring> EngineRun::InspectEarlierRun() const {
    return state_->journal.Inspect();
}

bool EngineRun::JournalExists() const {
    return state_->journal.Exists();
}

Outcome EngineRun::Install(const Plan& plan) {
    Installation run(plan, *state_);
    return WithErrorsReported(ui_, [&] { return RunInstallSequence(run, ui_); });
}

CheckOutcome EngineRun::Check(const Plan& plan) {
    Installation run(plan, *state_);
    return CheckInstallation(run, ui_);
}

Outcome EngineRun::Remove(const Plan& plan) {
    Installation run(plan, *state_);
    return WithErrorsReported(ui_, [&] { return RunRemoval(run, ui_); });
}

Outcome EngineRun::SettleEarlierRun() {
    if (!guard_->Held()) return {Outcome::kFailed, L""};
    state_->transaction.Settle();  // this run's commit has settled its files first
    const bool journalled = state_->journal.Exists();
    const Outcome settled =
        WithErrorsReported(ui_, [&] { return engine::SettleEarlierRun(state_->journal, ui_); });
    if (settled.kind != Outcome::kFailed) return settled;
    // Set aside unread: the markers the cut run recorded there would hold
    // the application still for good. Their names are this installer's own.
    if (journalled && !state_->journal.Exists()) {
        if (const std::optional<std::wstring> appDir =
                environment::ReadAppDir(state_->places.appKey)) {
            const std::wstring dir = platform::WithDelimiter(*appDir);
            DeleteMarker(dir + outside::kStopMarker);
            DeleteMarker(environment::NoRunMarkerPath(dir + outside::kCompsDir));
        }
    }
    return settled;
}

void EngineRun::AdoptStrayMarker(const std::wstring& appDir) {
    const std::wstring noRun =
        environment::NoRunMarkerPath(platform::WithDelimiter(appDir) + outside::kCompsDir);
    if (platform::EntryExists(noRun) &&
        std::find(state_->ownMarkers.begin(), state_->ownMarkers.end(), noRun) ==
            state_->ownMarkers.end())
        state_->ownMarkers.push_back(noRun);
}

void EngineRun::DeleteOwnMarkers() {
    for (const std::wstring& marker : state_->ownMarkers) DeleteMarker(marker);
    state_->ownMarkers.clear();
}

void EngineRun::DeleteMarker(const std::wstring& marker) {
    if (environment::DeleteSharedFile(marker) == environment::SharedChange::kLinkLeft)
        ui_.Log(environment::LinkLeftText(marker));
}

}  // namespace engine
