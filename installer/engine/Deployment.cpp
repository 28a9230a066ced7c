// The server from the installer's kit into the server folder, registered,
// configured and started as a service, with the firewall opened for it;
// and the wizard's handlers of the extraction's progress and failures.
#include "archive/ArchiveSize.h"
#include "archive/ExtractionRules.h"
#include "engine/Programs.h"
#include "engine/Steps.h"
#include "environment/ConfigFiles.h"
#include "environment/Discovery.h"
#include "environment/Instances.h"
#include "toolkit/Application.h"

namespace shell {

namespace {

constexpr wchar_t kNoRights[] =
    L"Pre spustenie inštalačného súboru je potrebné mať práva administrátora. Prihláste sa k "
    L"Vašemu PC s účtom, ktorý takéto práva má.";
constexpr wchar_t kServerInUse[] =
    L"Aktuálny Firebird SQL server je používaný, nie je možné ho preinštalovať!";
constexpr wchar_t kStatusInstalling[] = L"Inštalácia SQL servera";

// The reader as the wizard's "Storno" sees it while it extracts.
class RunningExtraction : public CancelableArchive {
public:
    explicit RunningExtraction(const engine::ArchiveReader& reader) : reader_(reader) {}
    bool IsOpen() const override { return reader_.IsOpen(); }

private:
    const engine::ArchiveReader& reader_;
};

// Zip is set exactly while the reader exists, on every way out.
class ZipScope {
public:
    ZipScope(TWizard& wizard, CancelableArchive& archive) : wizard_(wizard) {
        wizard_.Zip = &archive;
    }
    ~ZipScope() { wizard_.Zip = nullptr; }
    ZipScope(const ZipScope&) = delete;
    ZipScope& operator=(const ZipScope&) = delete;

private:
    TWizard& wizard_;
};

// The whole kit into the server folder; errors of the reader are raised.
void ExtractKit(TWizard& wizard) {
    wizard.Canceled = false;
    engine::ArchiveReader zip;
    RunningExtraction running(zip);
    ZipScope scope(wizard, running);
    zip.FileName = outside::kKitArchive;
    zip.BaseDir = wizard.m_szFBDir;
    zip.FileMasks.push_back(L"*.*");
    zip.OnOverallProgress = [&wizard](double progress, bool& cancel) {
        wizard.ZipOverallProgress(progress, cancel);
    };
    zip.OnProcessFileFailure = [&wizard](const std::wstring& name, const std::wstring& error,
                                         engine::TZFProcessFileFailureAction& action) {
        wizard.ZipFileFailure(name, error, action);
    };
    zip.OpenArchive();
    zip.ExtractFiles();
    zip.CloseArchive();
}

void RemoveLegacyInstance() {
    const std::wstring legacy =
        engine::WithDelimiter(environment::GetProgramFilesDir()) + outside::kLegacyFolder;
    if (!engine::EntryExists(legacy + outside::kServerExe)) return;
    engine::RunProgram(engine::LegacyToolCommand(legacy, outside::kToolStop), true, true);
    engine::RunProgram(engine::LegacyToolCommand(legacy, outside::kToolRemove), true, true);
}

}  // namespace

bool TWizard::InstallServer() {
    if (m_bIsNT && !m_bVista && !engine::IsAdminGroupMember()) {
        ReportError(kNoRights);
        return false;
    }
    const std::wstring archive = outside::kKitArchive;
    m_szGdsSource = m_szFBDir + outside::kClient32Dll;

    RemoveLegacyInstance();

    // The port of the server now in the folder, before the kit replaces its
    // firebird.conf.
    const std::wstring oldPort = environment::ReadFBPort(m_szFBDir + outside::kServerConf,
                                                         m_szAppDir + outside::kDataIni, 2);
    if (environment::FindFBService(oldPort) != 0) RemoveService(oldPort);

    m_RequiredBytes += engine::GetArchiveSize(archive);
    ProgressFrame->pbSetup->SetMax(ProgressFrame->pbSetup->Max() + m_RequiredBytes);
    ProgressFrame->lStatus->SetCaption(kStatusInstalling);

    const std::wstring serverExe = m_szFBDir + outside::kServerExe;
    if (environment::IsFileLocked(serverExe)) {
        ReportError(kServerInUse);
        return false;
    }
    DeleteFileW(serverExe.c_str());
    // A server program that could not be deleted keeps its folder as it is.
    if (!engine::EntryExists(serverExe)) ExtractKit(*this);

    SetupService();
    if (m_bIsNT) engine::RunProgram(engine::FirewallCommand(m_szFBDir), true, true);
    return true;
}

void TWizard::ZipOverallProgress(double progress, bool& cancel) {
    engine::ProgressStep step =
        engine::NextProgressStep(progress, m_RequiredBytes, m_ProgressPrevious);
    m_ProgressNext = step.next;
    if (step.advance > 0)
        ProgressFrame->pbSetup->SetPosition(ProgressFrame->pbSetup->Position() + step.advance);
    m_ProgressPrevious = step.shown;
    // Keeps the window alive and lets "Storno" ask its question.
    toolkit::App().ProcessMessages();
    cancel = Canceled;
}

void TWizard::ZipFileFailure(const std::wstring& fileName, const std::wstring& errorMessage,
                             engine::TZFProcessFileFailureAction& action) {
    engine::FailureChoice choice = engine::ChooseFileFailure(Canceled, fileName, errorMessage);
    action = choice.action;
    if (!choice.report.empty()) ReportError(choice.report);
}

}  // namespace shell
