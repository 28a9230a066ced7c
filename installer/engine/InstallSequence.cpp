// What "Dokončiť" does on the parameters page: confirm risky situations,
// hold the application still, install the server, refresh the client files
// and the backup tool in the application, move a kept server to another
// port or mode, record the connection in data.ini, show the end page.
#include <optional>

#include "engine/Messages.h"
#include "engine/Preflight.h"
#include "engine/ServerFolder.h"
#include "engine/Steps.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "environment/Ports.h"
#include "environment/SharedFolder.h"
#include "platform/Text.h"

namespace engine {

namespace {

constexpr wchar_t kIniWriteError[] = L"Chyba pri zápise do ini súboru!";
constexpr wchar_t kGaveUpWaiting[] =
    L"Čakanie na ukončenie programu Lumera SQL bolo prerušené. Inštalácia bola zastavená.";

using environment::SharedChange;

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

Outcome Stopped(const std::wstring& why) {
    return {Outcome::kStopped, why};
}

// The application folder as the page shows it.
std::wstring ShownAppDir(const Installation& run) {
    return WithDelimiter(run.shownAppDir);
}

class InstallSequence {
public:
    InstallSequence(Installation& run, InstallerUi& ui) : run_(run), ui_(ui) {}

    Outcome Run() {
        const bool installServer = run_.installServer;
        if (std::optional<Outcome> stop = ActOnPreflight()) return *stop;
        if (installServer) {
            ui_.ShowProgressPage();
            const Outcome installed = InstallServer(run_, ui_);
            if (installed.kind != Outcome::kFinished) return installed;
        }
        const DeploymentHeader where = HeaderFor(run_, installServer);
        PlaceClientFiles(where, run_.m_szGdsSource, ui_);
        PlaceBackupTool(run_.appDir, run_.state.places.installerDir, ui_);
        // A kept server is one the installer did not fill in this run (the
        // look before the first change logged one that is not known).
        if (installServer ? environment::IsFBInstalled(run_.serverDir) : IsKnownServer(run_)) {
            if (!installServer) {
                const Outcome moved = ReconfigureKeptServer();
                if (moved.kind != Outcome::kFinished) return moved;
            }
            WriteDataIni(where, ui_);
        }
        // What a later start would otherwise finish again.
        if (run_.state.m_Journal.Exists()) run_.state.m_Transaction.Finish();
        return {};
    }

private:
    // What the run meets before its first change, the list /CHECK prints:
    // the questions, what would stop it, and the wait for the application
    // (the markers first). The stop when one comes; nothing to go on.
    std::optional<Outcome> ActOnPreflight() {
        for (const PreflightLine& line : Preflight(run_, ui_)) {
            switch (line.kind) {
                case PreflightLine::kStop:
                    if (line.runGoesOn) return std::nullopt;
                    return Ending(line.code, line.sentence);
                case PreflightLine::kAsk:
                    if (ui_.Confirm(line.text, line.asked)) break;
                    return Stopped(line.asked == InstallerUi::Asked::kAlways
                                       ? line.text + L"\r\n" + kAnsweredNo
                                       : L"");
                case PreflightLine::kWait:
                    CreateMarkers(run_, ui_);
                    if (std::optional<Outcome> stop = WaitForApplication(run_, ui_)) return stop;
                    break;
                case PreflightLine::kChange: break;
            }
        }
        return std::nullopt;
    }

    static Outcome Ending(int32_t code, const std::wstring& why) {
        switch (code) {
            case kExitNotStarted: return {Outcome::kRefused, why};
            case kExitStopped: return {Outcome::kStopped, why};
            case kExitPostponed: return {Outcome::kPostponed, why};
            default: return {Outcome::kFailed, why};
        }
    }

    // Port or mode of a server that stays: remove the old instance, then set
    // it up again for the page's port and mode, as one transaction with the
    // old firebird.conf kept aside. No firewall rule here. kFinished, or the
    // old instance back when the new one did not run.
    Outcome ReconfigureKeptServer() {
        const std::wstring conf = run_.serverDir + outside::kServerConf;
        const std::wstring ini = run_.appDir + outside::kDataIni;
        const bool portChanged =
            environment::ReadFBPort(conf, ini, environment::PortSource::kAgreed).port != run_.port;
        const std::wstring storedMode = environment::ReadFBType(ini);
        if (!portChanged && storedMode == ModeCode()) return {};
        Transaction& tx = run_.state.m_Transaction;
        const Outcome moved = AsOneTransaction(
            tx,
            [&] {
                tx.Begin(HeaderFor(run_, /*installsServer=*/false));
                HoldServerPath(run_, /*make=*/false);
                {
                    // The tool runs, and registers the server to run as LocalSystem.
                    ServerPrograms programs;
                    programs.Take(run_, {outside::kServiceTool, outside::kServerExe});
                    MoveKeptServer(portChanged, conf, ini);
                }
                tx.Commit();
                return true;
            },
            [&](const std::optional<std::wstring>& failure) {
                return RollBackInstallation(run_.state, ui_, failure);
            });
        if (moved.kind == Outcome::kFinished) SecurePathAbove(run_, ui_);
        return moved;
    }

    void MoveKeptServer(bool portChanged, const std::wstring& conf, const std::wstring& ini) {
        // The instance runs on the port its firebird.conf sets, whatever
        // data.ini says; left registered it would start beside the new one.
        const std::optional<environment::Port> old =
            portChanged ? environment::ReadFBPort(conf, ini, environment::PortSource::kServer).port
                        : run_.port;
        if (old && FindInstance(run_, *old) != 0) RemoveService(run_, *old);
        // Kept aside only now, after the removal: a rollback undoes in
        // reverse, so the file is back before the old instance starts again.
        if (EntryExists(conf)) run_.state.m_Transaction.SavingCopy(conf);
        if (portChanged) environment::SetConfValue(conf, outside::kConfPortKey, run_.port.Text());
        SetupService(run_);
    }

    std::wstring ModeCode() const { return run_.mode ? run_.mode->iniCode : L""; }

    Installation& run_;
    InstallerUi& ui_;
};

}  // namespace

// A marker left by someone else (or by an earlier press) is not made again.
void CreateMarkers(Installation& run, InstallerUi& ui) {
    const std::wstring dir = ShownAppDir(run), stop = dir + outside::kStopMarker;
    if (run.state.m_bSuspendCreated || !EntryExists(dir + outside::kUserData) || EntryExists(stop))
        return;
    // Journalled first: a run cut short must not leave the application's
    // backup stopped for good.
    Transaction& tx = run.state.m_Transaction;
    tx.RecordMarker(dir, stop);
    const SharedChange made = environment::CreateMarkerFile(stop);
    if (made == SharedChange::kLinkLeft) ui.Inform(environment::LinkLeftText(stop));
    run.state.m_bSuspendCreated = made == SharedChange::kDone;
    if (!run.state.m_bSuspendCreated) return;
    run.state.m_OwnMarkers.push_back(stop);
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
    if (written == SharedChange::kDone && !existed) run.state.m_OwnMarkers.push_back(noRun);
}

// Nothing changes while instances run; an unattended run's limit ran
// out: postponed, and a deployment tool may run the same command later.
std::optional<Outcome> WaitForApplication(Installation& run, InstallerUi& ui) {
    const WaitResult wait = ui.WaitForApplication(ShownAppDir(run), run.waitSeconds);
    switch (wait.outcome) {
        case WaitResult::kNoneRunning: return std::nullopt;
        case WaitResult::kGaveUp: return Stopped(kGaveUpWaiting);
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
        ini, where.port.Text(), where.serverDir + outside::kServerExe, where.modeCode);
    if (written == SharedChange::kLinkLeft) ui.ReportError(environment::LinkLeftText(ini));
    if (written == SharedChange::kFailed) ui.ReportError(kIniWriteError);
}

Outcome RunInstallSequence(Installation& run, InstallerUi& ui) {
    return InstallSequence(run, ui).Run();
}

}  // namespace engine
