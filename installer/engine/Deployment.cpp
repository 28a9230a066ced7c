// The server from the installer's kit into the server folder, registered,
// configured and started as a service, with the firewall opened for it;
// and what the extraction's progress and failures do.
#include "archive/ArchiveSize.h"
#include "archive/ExtractionRules.h"
#include "engine/Programs.h"
#include "engine/Steps.h"
#include "environment/ConfigFiles.h"
#include "environment/Discovery.h"
#include "environment/Instances.h"

namespace engine {

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
    explicit RunningExtraction(const archive::ArchiveReader& reader) : reader_(reader) {}
    bool IsOpen() const override { return reader_.IsOpen(); }

private:
    const archive::ArchiveReader& reader_;
};

// Zip is set exactly while the reader exists, on every way out.
class ZipScope {
public:
    ZipScope(Installation& run, CancelableArchive& reader) : run_(run) { run_.Zip = &reader; }
    ~ZipScope() { run_.Zip = nullptr; }
    ZipScope(const ZipScope&) = delete;
    ZipScope& operator=(const ZipScope&) = delete;

private:
    Installation& run_;
};

// The whole kit into the server folder; errors of the reader are raised.
void ExtractKit(Installation& run, InstallerUi& ui) {
    run.Canceled = false;
    archive::ArchiveReader zip;
    RunningExtraction running(zip);
    ZipScope scope(run, running);
    zip.FileName = outside::kKitArchive;
    zip.BaseDir = run.m_szFBDir;
    zip.FileMasks.push_back(L"*.*");
    zip.OnOverallProgress = [&run, &ui](double progress, bool& cancel) {
        ZipOverallProgress(run, ui, progress, cancel);
    };
    zip.OnProcessFileFailure = [&run, &ui](const std::wstring& name, const std::wstring& error,
                                           archive::TZFProcessFileFailureAction& action) {
        ZipFileFailure(run, ui, name, error, action);
    };
    zip.OpenArchive();
    zip.ExtractFiles();
    zip.CloseArchive();
}

void RemoveLegacyInstance() {
    const std::wstring legacy =
        WithDelimiter(environment::GetProgramFilesDir()) + outside::kLegacyFolder;
    if (!EntryExists(legacy + outside::kServerExe)) return;
    RunProgram(LegacyToolCommand(legacy, outside::kToolStop), true, true);
    RunProgram(LegacyToolCommand(legacy, outside::kToolRemove), true, true);
}

}  // namespace

bool InstallServer(Installation& run, const Choices& choices, InstallerUi& ui) {
    if (run.m_bIsNT && !run.m_bVista && !IsAdminGroupMember()) {
        ui.ReportFailure(kNoRights);
        return false;
    }
    const std::wstring kit = outside::kKitArchive;
    run.m_szGdsSource = run.m_szFBDir + outside::kClient32Dll;

    RemoveLegacyInstance();

    // The port of the server now in the folder, before the kit replaces its
    // firebird.conf.
    const std::wstring oldPort = environment::ReadFBPort(run.m_szFBDir + outside::kServerConf,
                                                         run.m_szAppDir + outside::kDataIni, 2);
    if (environment::FindFBService(oldPort) != 0) RemoveService(run, oldPort);

    run.m_RequiredBytes += archive::GetArchiveSize(kit);
    ui.ExtendProgress(run.m_RequiredBytes, kStatusInstalling);

    const std::wstring serverExe = run.m_szFBDir + outside::kServerExe;
    if (environment::IsFileLocked(serverExe)) {
        ui.ReportFailure(kServerInUse);
        return false;
    }
    DeleteFileW(serverExe.c_str());
    // A server program that could not be deleted keeps its folder as it is.
    if (!EntryExists(serverExe)) ExtractKit(run, ui);

    SetupService(run, choices.mode, ui);
    if (run.m_bIsNT) RunProgram(FirewallCommand(run.m_szFBDir), true, true);
    return true;
}

void ZipOverallProgress(Installation& run, InstallerUi& ui, double progress, bool& cancel) {
    const archive::ProgressStep step =
        archive::NextProgressStep(progress, run.m_RequiredBytes, run.m_ProgressPrevious);
    run.m_ProgressNext = step.next;
    if (step.advance > 0) ui.AdvanceProgress(step.advance);
    run.m_ProgressPrevious = step.shown;
    // Keeps the window alive and lets "Storno" ask its question.
    ui.KeepResponsive();
    cancel = run.Canceled;
}

void ZipFileFailure(const Installation& run, InstallerUi& ui, const std::wstring& fileName,
                    const std::wstring& errorMessage,
                    archive::TZFProcessFileFailureAction& action) {
    const archive::FailureChoice choice =
        archive::ChooseFileFailure(run.Canceled, fileName, errorMessage);
    action = choice.action;
    if (!choice.report.empty()) ui.ReportFailure(choice.report);
}

}  // namespace engine
