// What "Dokončiť" does on the parameters page: confirm risky situations,
// hold the application still, install the server, refresh the client files
// and the backup tool in the application, move a kept server to another
// port or mode, record the connection in data.ini, show the end page.
#include <optional>

#include "engine/ApplicationFiles.h"
#include "engine/Messages.h"
#include "engine/Preflight.h"
#include "engine/Rollback.h"
#include "engine/ServerFolder.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Port.h"
#include "platform/Text.h"

namespace engine {

namespace {

Outcome Stopped(const std::wstring& why) {
    return {Outcome::kStopped, why};
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
        if (run_.state.journal.Exists()) run_.state.transaction.Finish();
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
                    return Outcome{Outcome::kFailed, line.sentence};
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
        Transaction& tx = run_.state.transaction;
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
        if (platform::EntryExists(conf)) run_.state.transaction.SavingCopy(conf);
        if (portChanged) environment::SetConfValue(conf, outside::kConfPortKey, run_.port.Text());
        SetupService(run_);
    }

    std::wstring ModeCode() const { return run_.mode ? run_.mode->iniCode : L""; }

    Installation& run_;
    InstallerUi& ui_;
};

}  // namespace

Outcome RunInstallSequence(Installation& run, InstallerUi& ui) {
    return InstallSequence(run, ui).Run();
}

}  // namespace engine
