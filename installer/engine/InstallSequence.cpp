// What "Dokončiť" does on the parameters page: confirm risky situations,
// hold the application still, install the server, refresh the client files
// and the backup tool in the application, move a kept server to another
// port or mode, record the connection in data.ini, show the end page.
#include "engine/Steps.h"
#include "wizard/BlockedForm.h"
#include "environment/ConfigFiles.h"
#include "environment/Discovery.h"
#include "environment/Instances.h"
#include "wizard/Hooks.h"

namespace shell {

namespace {

constexpr wchar_t kQuestionCaption[] = L"Otázka";
constexpr wchar_t kGdsDeleteError[] = L"Chyba pri mazaní gds32.dll!";
constexpr wchar_t kIniWriteError[] = L"Chyba pri zápise do ini súboru!";
constexpr wchar_t kEndCaption[] = L"Koniec";
constexpr wchar_t kAnsweredNo[] = L"Odpoveď: Nie. Inštalácia bola zastavená.";
constexpr wchar_t kGaveUpWaiting[] =
    L"Čakanie na ukončenie programu Lumera SQL bolo prerušené. Inštalácia bola zastavená.";
constexpr wchar_t kDoneWithErrors[] = L"Inštalácia ukončená s chybami.";

// Guards an installation step: only the answer No stops it.
bool Confirmed(const std::wstring& question) {
    return ShowDialog(question, kQuestionCaption, kDialogConfirmation, kButtonYes | kButtonNo,
                      kResultNo) != kResultNo;
}

using platform::CurrentDir;

// Copies overwrite, create no folders, and may fail without stopping anything.
void CopyOver(const std::wstring& from, const std::wstring& to) {
    CopyFileW(from.c_str(), to.c_str(), FALSE);
}

void SupplyWhenMissing(const std::wstring& from, const std::wstring& to) {
    if (!engine::EntryExists(to)) CopyOver(from, to);
}

class InstallSequence {
public:
    explicit InstallSequence(TWizard& wizard) : w_(wizard), page_(*wizard.NewFrame) {}

    void Run() {
        TakeChoices();
        const bool installServer = page_.chFB->Checked();
        if (installServer) {
            if (!ConfirmOtherInstance() || !ConfirmOverwrite()) return;
            CreateMarkers();
            if (!ApplicationStopped()) return;
            if (!DeployServer()) return;
        }
        PlaceClientFiles();
        CopyOver(CurrentDir() + outside::kToolExe,
                 w_.m_szAppDir + outside::kToolDir + outside::kToolExe);
        if (environment::IsFBInstalled(w_.m_szFBDir)) {
            if (!installServer) ReconfigureKeptServer();
            WriteDataIni();
        }
        ShowEndPage();
        if (w_.m_bSilentInstall) {
            // "OK" only for a run that an administrator need not look into.
            WriteLog(w_.m_logFd, LogEntry(w_.m_nExitCode == kExitDone ? L"OK" : kDoneWithErrors));
            w_.Close();
        }
    }

private:
    void TakeChoices() {
        std::wstring folder = page_.edFbFolder->Text();
        if (!page_.chFB->Checked() && page_.lFBInfoFolder->Visible()) {
            // A kept server is the one the page shows, wherever data.ini put
            // it; the (hidden) folder edit only names where to install.
            w_.m_szFBDir = engine::WithDelimiter(page_.lFBInfoFolder->Caption());
        } else {
            w_.m_szFBDir = folder.empty()
                               ? environment::ParentDir(w_.m_szAppDir) + outside::kDefaultServerDir
                               : engine::WithDelimiter(folder);
        }
        w_.m_szFBPort = page_.edPort->Text();
    }

    // A stop leaves the page for another try. Unattended nobody could try
    // again or close the hidden window: the run logs why and ends.
    void StopUnattended(const std::wstring& why) {
        if (!w_.m_bSilentInstall) return;
        WriteLog(w_.m_logFd, LogEntry(why));
        w_.SetExitCode(kExitStopped);
        w_.Close();
    }

    // Asked in an unattended run too: it stops someone else's server.
    bool ConfirmOtherInstance() {
        std::wstring other;
        if (environment::IsPortFree(w_.m_szFBDir, w_.m_szFBPort, other)) return true;
        const std::wstring question = L"V priečinku: " + other + L" na porte: " + w_.m_szFBPort +
                                      L" beží iná inštancia Firebird SQL servera.\r\n"
                                      L"Inštaláciou Vášho servera túto inštanciu zastavíte.\r\n"
                                      L"Chcete napriek tomu pokračovať v inštalácii?";
        if (Confirmed(question)) return true;
        StopUnattended(question + L"\r\n" + kAnsweredNo);
        return false;
    }

    bool ConfirmOverwrite() {
        if (!environment::IsFBInstalled(w_.m_szFBDir) || w_.m_bSilentInstall) return true;
        return Confirmed(L"V priečinku: " + w_.m_szFBDir +
                         L" je už nainštalovaný Firebird SQL server.\r\n"
                         L"Skutočne chcete prepísať inštaláciu?");
    }

    // The application folder as the page shows it.
    std::wstring ShownAppDir() const {
        return engine::WithDelimiter(page_.lAppInfoFolder->Caption());
    }

    // A marker left by someone else (or by an earlier press) is not made again.
    void CreateMarkers() {
        const std::wstring dir = ShownAppDir();
        if (w_.m_bSuspendCreated || !engine::EntryExists(dir + outside::kUserData) ||
            engine::EntryExists(dir + outside::kStopMarker))
            return;
        w_.m_bSuspendCreated = environment::CreateMarkerFile(dir + outside::kStopMarker);
        if (!w_.m_bSuspendCreated) return;
        w_.m_OwnMarkers.push_back(dir + outside::kStopMarker);
        // A no-run marker already there is refreshed but stays its maker's.
        const std::wstring noRun = environment::NoRunMarkerPath(dir + outside::kCompsDir);
        const bool existed = engine::EntryExists(noRun);
        if (environment::WriteNoRunMarker(dir + outside::kCompsDir) && !existed)
            w_.m_OwnMarkers.push_back(noRun);
    }

    // False when instances still run and the user gave up waiting.
    bool ApplicationStopped() {
        if (!environment::IsAppRunningWiz(ShownAppDir())) return true;
        if (w_.m_bSilentInstall) {
            StopUnattended(kGaveUpWaiting);
        } else {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            w_.OK->SetEnabled(true);
        }
        return false;
    }

    bool DeployServer() {
        ShowPage(w_.ProgressFrame.get());
        w_.EnableButtons();
        w_.OK->SetEnabled(false);
        if (w_.InstallServer()) return true;
        w_.Close();
        return false;
    }

    void PlaceClientFiles() {
        const std::wstring exe = w_.m_szAppDir + outside::kAppExeDir;
        const std::wstring& fb = w_.m_szFBDir;
        const std::wstring gds = exe + outside::kAppGds32, client = exe + outside::kAppFbclient;
        // A cancelled or failed extraction may not have brought the new client
        // library; deleting the application's own would leave it with none.
        if (!w_.m_szGdsSource.empty() && engine::EntryExists(w_.m_szGdsSource)) {
            if (engine::EntryExists(gds) && !DeleteFileW(gds.c_str()))
                ReportError(kGdsDeleteError);
            CopyOver(w_.m_szGdsSource, gds);
            CopyOver(w_.m_szGdsSource, client);
        }
        SupplyWhenMissing(fb + outside::kClient32Dll, gds);
        SupplyWhenMissing(gds, client);
        SupplyWhenMissing(fb + outside::kMessageFile, exe + outside::kAppMessages);
        SupplyWhenMissing(fb + outside::kMsvcp32Dll, exe + outside::kAppMsvcp);
        SupplyWhenMissing(fb + outside::kVcruntime32Dll, exe + outside::kAppVcruntime);
    }

    // Port or mode of a server that stays: remove the old instance, then set
    // it up again for the page's port and mode. No firewall rule here.
    void ReconfigureKeptServer() {
        const std::wstring conf = w_.m_szFBDir + outside::kServerConf;
        const std::wstring ini = w_.m_szAppDir + outside::kDataIni;
        bool reconfigure = false;
        const std::wstring known = environment::ReadFBPort(conf, ini, 1);
        if (w_.m_szFBPort != known) {
            // The instance runs on the port its firebird.conf sets, whatever
            // data.ini says; left registered it would start beside the new one.
            const std::wstring old = environment::ReadFBPort(conf, ini, 2);
            if (environment::FindFBService(old) != 0) w_.RemoveService(old);
            environment::SetConfValue(conf, outside::kConfPortKey, w_.m_szFBPort);
            reconfigure = true;
        }
        if (ModeCode() != environment::ReadFBType(ini) && !reconfigure) {
            if (environment::FindFBService(w_.m_szFBPort) != 0)
                w_.RemoveService(w_.m_szFBPort);
            reconfigure = true;
        }
        if (reconfigure) w_.SetupService();
    }

    std::wstring ModeCode() const {
        const outside::ServerMode* mode = engine::CheckedMode(page_);
        return mode ? mode->iniCode : L"";
    }

    void WriteDataIni() {
        const std::wstring ini = engine::WithDelimiter(w_.m_szAppDir) + outside::kDataIni;
        const std::wstring server = w_.m_szFBDir + outside::kServerExe;
        const std::wstring mode = ModeCode();
        const std::pair<const wchar_t*, const std::wstring*> values[] = {
            {outside::kIniPort, &w_.m_szFBPort},
            {outside::kIniServer, &server},
            {outside::kIniMode, &mode}};
        for (const auto& [key, value] : values) {
            if (!WritePrivateProfileStringW(outside::kIniSection, key, value->c_str(),
                                            ini.c_str())) {
                ReportError(kIniWriteError);
                return;
            }
        }
    }

    void ShowPage(TWizFrame* page) {
        w_.m_ActiveFrame->SetVisible(false);
        w_.m_ActiveFrame = page;
        page->SetVisible(true);
    }

    void ShowEndPage() {
        w_.EndFrame->SetInfo();
        ShowPage(w_.EndFrame.get());
        w_.Back->SetVisible(false);
        w_.Next->SetVisible(false);
        w_.Cancel->SetVisible(false);
        w_.OK->SetEnabled(true);
        w_.OK->SetCaption(kEndCaption);
    }

    TWizard& w_;
    environment::TNewFrame& page_;
};

}  // namespace

void RunInstallSequence(TWizard& wizard) {
    try {
        InstallSequence(wizard).Run();
    } catch (...) {
        wizard.SetExitCode(kExitFailed);
        // Attended, the error box leaves the wizard where it is.
        if (!wizard.m_bSilentInstall) throw;
        // Unattended the window is hidden: nobody could leave it with "Storno",
        // so after the error is logged and shown the run ends instead of
        // waiting forever.
        ReportException();
        wizard.Close();
    }
}

}  // namespace shell
