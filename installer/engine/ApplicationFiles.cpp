#include "engine/ApplicationFiles.h"

#include "engine/Messages.h"
#include "environment/ConfigFiles.h"
#include "environment/Instances.h"
#include "environment/SharedFolder.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace engine {

namespace {

using environment::SharedChange;
using platform::EntryExists;
using platform::WithDelimiter;

constexpr wchar_t kIniWriteError[] = L"Chyba pri zápise do ini súboru!";
constexpr wchar_t kGaveUpWaiting[] =
    L"Čakanie na ukončenie programu Lumera SQL bolo prerušené. Inštalácia bola zastavená.";

// Copies into the application overwrite, create no folders, and may fail
// without stopping anything; a link where one would go stays and is
// reported, since the application then lacks the file.
void CopyOver(const std::wstring& from, const std::wstring& to, InstallerUi& ui,
              bool keepExisting = false) {
    if (environment::CopySharedFile(from, to, keepExisting) == SharedChange::kLinkLeft)
        ui.ReportError(environment::LinkLeftText(to));
}

void SupplyWhenMissing(const std::wstring& from, const std::wstring& to, InstallerUi& ui) {
    if (!EntryExists(to)) CopyOver(from, to, ui, /*keepExisting=*/true);
}

// The application folder as the page shows it.
std::wstring ShownAppDir(const Installation& run) {
    return WithDelimiter(run.shownAppDir);
}

}  // namespace

// A marker left by someone else (or by an earlier press) is not made again.
void CreateMarkers(Installation& run, InstallerUi& ui) {
    const std::wstring dir = ShownAppDir(run), stop = dir + outside::kStopMarker;
    if (run.state.m_bSuspendCreated || !EntryExists(dir + outside::kUserData) || EntryExists(stop))
        return;
    // Journalled first: a run cut short must not leave the application's
    // backup stopped for good.
    Transaction& tx = run.state.transaction;
    tx.RecordMarker(dir, stop);
    const SharedChange made = environment::CreateMarkerFile(stop);
    if (made == SharedChange::kLinkLeft) ui.Inform(environment::LinkLeftText(stop));
    run.state.m_bSuspendCreated = made == SharedChange::kDone;
    if (!run.state.m_bSuspendCreated) return;
    run.state.ownMarkers.push_back(stop);
    const environment::ErrorNotice unreadable = [&ui](const std::wstring& message) {
        ui.ShowErrorBox(message);
    };
    // A no-run marker already there is refreshed; one an earlier run of
    // this computer left was adopted at the start (AdoptStrayMarker).
    const std::wstring noRun = environment::NoRunMarkerPath(dir + outside::kCompsDir, unreadable);
    const bool existed = EntryExists(noRun);
    if (!existed) tx.RecordMarker(dir, noRun);
    const SharedChange written =
        environment::WriteNoRunMarker(dir + outside::kCompsDir, unreadable);
    if (written == SharedChange::kLinkLeft) ui.Inform(environment::LinkLeftText(noRun));
    if (written == SharedChange::kDone && !existed) run.state.ownMarkers.push_back(noRun);
}

// Nothing changes while instances run; an unattended run's limit ran
// out: postponed, and a deployment tool may run the same command later.
std::optional<Outcome> WaitForApplication(Installation& run, InstallerUi& ui) {
    const WaitResult wait = ui.WaitForApplication(ShownAppDir(run), run.waitSeconds);
    switch (wait.outcome) {
        case WaitResult::kNoneRunning: return std::nullopt;
        case WaitResult::kGaveUp: return Outcome{Outcome::kStopped, kGaveUpWaiting};
        case WaitResult::kTimedOut: break;
    }
    return Outcome{Outcome::kPostponed, platform::Fill(kPostponed, {wait.stillRunning})};
}

void PlaceClientFiles(const DeploymentHeader& where, const std::wstring& gdsSource,
                      InstallerUi& ui) {
    const std::wstring exe = where.appDir + outside::kAppExeDir;
    const std::wstring& fb = where.serverDir;
    const std::wstring gds = exe + outside::kAppGds32, client = exe + outside::kAppFbclient;
    // A server that was not installed brings no new client library;
    // deleting the application's own would leave it with none.
    if (!gdsSource.empty() && EntryExists(gdsSource)) {
        // A link here is reported by the copy that follows.
        if (EntryExists(gds) && environment::DeleteSharedFile(gds) == SharedChange::kFailed)
            ui.ReportError(kGdsDeleteError);
        CopyOver(gdsSource, gds, ui);
        CopyOver(gdsSource, client, ui);
    }
    SupplyWhenMissing(fb + outside::kClient32Dll, gds, ui);
    SupplyWhenMissing(gds, client, ui);
    SupplyWhenMissing(fb + outside::kMessageFile, exe + outside::kAppMessages, ui);
    SupplyWhenMissing(fb + outside::kMsvcp32Dll, exe + outside::kAppMsvcp, ui);
    SupplyWhenMissing(fb + outside::kVcruntime32Dll, exe + outside::kAppVcruntime, ui);
}

void PlaceBackupTool(const std::wstring& appDir, const std::wstring& installerDir, InstallerUi& ui) {
    const std::wstring tool = installerDir + outside::kToolExe;
    // Without it the application's scheduled backups would stop unnoticed.
    if (!EntryExists(tool)) {
        ui.ReportError(L"V priečinku " + installerDir + L" chýba súbor " + outside::kToolExe +
                         L"; zálohovací program nebol nainštalovaný.");
        return;
    }
    CopyOver(tool, appDir + outside::kToolDir + outside::kToolExe, ui);
}

void WriteDataIni(const DeploymentHeader& where, InstallerUi& ui) {
    const std::wstring ini = WithDelimiter(where.appDir) + outside::kDataIni;
    const SharedChange written = environment::WriteDataIni(
        ini, where.port, where.serverDir + outside::kServerExe, where.modeCode);
    if (written == SharedChange::kLinkLeft) ui.ReportError(environment::LinkLeftText(ini));
    if (written == SharedChange::kFailed) ui.ReportError(kIniWriteError);
}

}  // namespace engine
