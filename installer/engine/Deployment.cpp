// The server from the installer's kit into the server folder, registered,
// configured and started as a service, with the firewall opened for it;
// and what the extraction's progress and failures do. The kit is checked
// whole before anything changes, and everything up to the new instance
// running is one transaction: a failure gives the PC back the server it had.
#include <optional>

#include "engine/CommandLines.h"
#include "engine/ExtractionRules.h"
#include "engine/ServerFolder.h"
#include "engine/Steps.h"
#include "engine/Tools.h"
#include "engine/Transaction.h"
#include "environment/Accounts.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "platform/Errors.h"

namespace engine {

namespace {

constexpr wchar_t kNoRights[] =
    L"Pre spustenie inštalačného súboru je potrebné mať práva administrátora. Prihláste sa k "
    L"Vašemu PC s účtom, ktorý takéto práva má.";
constexpr wchar_t kServerInUse[] =
    L"Aktuálny Firebird SQL server je používaný, nie je možné ho preinštalovať!";
constexpr wchar_t kStatusInstalling[] = L"Inštalácia SQL servera";
constexpr wchar_t kOpenError[] = L"Chyba pri otváraní súboru: ";
constexpr wchar_t kKitRefused[] = L"Inštalačný balík %s nie je možné použiť: ";
constexpr wchar_t kKitLacks[] = L"chýba v ňom súbor ";
constexpr wchar_t kNoRoom[] = L"na disku servera nie je dosť miesta (treba %s MB, voľných je %s MB).";

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

std::wstring Fill(const wchar_t* pattern, std::initializer_list<std::wstring> values) {
    std::wstring text = pattern;
    for (const std::wstring& value : values) {
        const size_t at = text.find(L"%s");
        if (at != std::wstring::npos) text.replace(at, 2, value);
    }
    return text;
}

std::wstring Megabytes(uint64_t bytes) {
    return std::to_wstring((bytes + (1u << 20) - 1) >> 20);
}

// Free bytes on the drive that will hold the folder (its nearest existing
// folder); the maximum when it cannot be told.
uint64_t FreeBytesFor(std::wstring folder) {
    ULARGE_INTEGER free{};
    while (!folder.empty()) {
        if (GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr)) return free.QuadPart;
        const size_t slash = folder.find_last_of(L'\\', folder.size() - 2);
        if (slash == std::wstring::npos) break;
        folder.resize(slash + 1);
    }
    return UINT64_MAX;
}

// The kit as a whole: readable, every entry extractable inside the server
// folder, the entries the installer relies on present, room on the drive.
// Nothing when it may be used, otherwise why not.
std::optional<std::wstring> CheckKit(const archive::ArchiveSurvey& kit, const std::wstring& serverDir) {
    const std::wstring refused = Fill(kKitRefused, {outside::kKitArchive});
    if (kit.problem) return refused + *kit.problem;
    for (const wchar_t* needed : outside::kKitEntries) {
        const bool found = std::any_of(kit.files.begin(), kit.files.end(), [&](const auto& f) {
            return CompareStringOrdinal(f.c_str(), -1, needed, -1, TRUE) == CSTR_EQUAL;
        });
        if (!found) return refused + kKitLacks + needed + L".";
    }
    const uint64_t free = FreeBytesFor(serverDir);
    if (free < kit.totalBytes)
        return refused + Fill(kNoRoom, {Megabytes(kit.totalBytes), Megabytes(free)});
    return std::nullopt;
}

archive::ArchiveSurvey SurveyKit() {
    try {
        return archive::SurveyArchive(outside::kKitArchive);
    } catch (const archive::ArchiveError&) {
        throw platform::Error(kOpenError + std::wstring(outside::kKitArchive));
    }
}

class ServerDeployment {
public:
    ServerDeployment(Installation& run, const Choices& choices, InstallerUi& ui)
        : run_(run), choices_(choices), ui_(ui), tx_(run.m_Journal) {}

    bool Run() {
        if (run_.m_bIsNT && !run_.m_bVista && !environment::ListsAdministratorsGroup()) {
            ui_.ReportFailure(kNoRights);
            return false;
        }
        const archive::ArchiveSurvey kit = SurveyKit();
        if (const std::optional<std::wstring> refused = CheckKit(kit, run_.m_szFBDir)) {
            ui_.ReportFailure(*refused);
            return false;
        }
        run_.m_szGdsSource = run_.m_szFBDir + outside::kClient32Dll;
        run_.m_Failure.clear();
        try {
            if (!Deploy(kit)) return RollBackAndReport(run_, ui_);
        } catch (...) {
            // Raised errors before the commit end in the rollback's report,
            // which names them; after it there is nothing to give back.
            if (tx_.Committed()) throw;
            Fail(run_, CurrentErrorText());
            return RollBackAndReport(run_, ui_);
        }
        if (run_.m_bIsNT) {
            OpenFirewall(run_.m_szFBDir, ui_);
            tx_.RecordFirewall();
        }
        return true;
    }

private:
    // False at the first failure (run_.m_Failure says why) or a cancel.
    bool Deploy(const archive::ArchiveSurvey& kit) {
        tx_.Begin(HeaderFor(run_, choices_.mode, /*installsServer=*/true));
        if (!RemoveLegacyInstance()) return false;
        // The port of the server now in the folder, before the kit replaces
        // its firebird.conf.
        const std::wstring oldPort = environment::ReadFBPort(
            run_.m_szFBDir + outside::kServerConf, run_.m_szAppDir + outside::kDataIni,
            environment::PortSource::kServer);
        if (FindInstance(run_, oldPort) != 0 && !RemoveOldInstance(oldPort)) return false;

        run_.m_RequiredBytes += static_cast<int32_t>(kit.totalBytes);
        ui_.ExtendProgress(run_.m_RequiredBytes, kStatusInstalling);
        if (environment::IsFileLocked(run_.m_szFBDir + outside::kServerExe))
            return Fail(run_, kServerInUse);
        if (std::wstring error = tx_.PrepareFolder(run_.m_szFBDir, kit); !error.empty())
            return Fail(run_, error);
        // Created or filled, the folder is administrators' only: the service
        // runs its firebird.exe as LocalSystem, and a later run its instsvc.exe.
        if (!ProtectServerFolder(run_)) return false;
        ExtractKit();
        if (!run_.m_Failure.empty() || run_.Canceled) return false;
        if (!SetupService(run_, choices_.mode, ui_)) return false;
        tx_.Commit();
        return true;
    }

    // The instance of the server now in the folder goes through that
    // server's own tool, which runs only from a known server folder.
    bool RemoveOldInstance(const std::wstring& port) {
        if (!IsKnownServer(run_, ui_)) return true;
        ServerPrograms tool;
        return tool.Take(run_, {outside::kServiceTool}) && RemoveService(run_, port);
    }

    // False when its service tool did not end in time.
    bool RemoveLegacyInstance() {
        const std::wstring legacy =
            WithDelimiter(environment::GetProgramFilesDir().value_or(L"")) + outside::kLegacyFolder;
        if (!EntryExists(legacy + outside::kServerExe)) return true;
        tx_.RemovingService(std::wstring(outside::kServiceNamePrefix) + outside::kLegacyInstance);
        return RunToolInTime(run_, LegacyToolCommand(legacy, outside::kToolStop)) &&
               RunToolInTime(run_, LegacyToolCommand(legacy, outside::kToolRemove));
    }

    // The whole kit into the server folder; errors of the reader are raised.
    void ExtractKit() {
        run_.Canceled = false;
        archive::ArchiveReader zip;
        RunningExtraction running(zip);
        ZipScope scope(run_, running);
        zip.FileName = outside::kKitArchive;
        zip.BaseDir = run_.m_szFBDir;
        zip.FileMasks.push_back(L"*.*");
        zip.OnOverallProgress = [this](double progress, bool& cancel) {
            ZipOverallProgress(run_, ui_, progress, cancel);
        };
        zip.OnProcessFileFailure = [this](const std::wstring& name, const std::wstring& error,
                                          archive::TZFProcessFileFailureAction& action) {
            ZipFileFailure(run_, ui_, name, error, action);
        };
        zip.OpenArchive();
        zip.ExtractFiles();
        zip.CloseArchive();
    }

    Installation& run_;
    const Choices& choices_;
    InstallerUi& ui_;
    Transaction tx_;
};

}  // namespace

std::optional<std::wstring> KitUnusable(const std::wstring& folder) {
    const std::wstring kit = outside::kKitArchive;
    const std::wstring cannot = L"Inštalácia nemôže pokračovať. ";
    if (!platform::FileExists(folder + kit))
        return cannot + L"V priečinku " + folder + L" chýba inštalačný balík " + kit + L".";
    try {
        archive::SurveyArchive(folder + kit);
        return std::nullopt;
    } catch (const archive::ArchiveError& e) {
        return cannot + L"Inštalačný balík " + kit + L" v priečinku " + folder +
               L" sa nedá prečítať: " + e.Message();
    }
}

bool InstallServer(Installation& run, const Choices& choices, InstallerUi& ui) {
    return ServerDeployment(run, choices, ui).Run();
}

void ZipOverallProgress(Installation& run, InstallerUi& ui, double progress, bool& cancel) {
    const ProgressStep step =
        NextProgressStep(progress, run.m_RequiredBytes, run.m_ProgressPrevious);
    run.m_ProgressNext = step.next;
    if (step.advance > 0) ui.AdvanceProgress(step.advance);
    run.m_ProgressPrevious = step.shown;
    // Keeps the window alive and lets "Storno" ask its question.
    ui.KeepResponsive();
    cancel = run.Canceled;
}

void ZipFileFailure(Installation& run, InstallerUi& /*ui*/, const std::wstring& fileName,
                    const std::wstring& errorMessage,
                    archive::TZFProcessFileFailureAction& action) {
    const FailureChoice choice = ChooseFileFailure(run.Canceled, fileName, errorMessage);
    action = choice.action;
    if (action == archive::fxaIgnore && choice.report.empty()) {
        // An entry that may fail quietly keeps the file the folder had.
        Transaction(run.m_Journal).PutBackPrevious(run.m_szFBDir + fileName);
        return;
    }
    // Any other entry missing would leave a server of two versions: the
    // extraction ends and the deployment rolls back.
    if (!choice.report.empty()) Fail(run, choice.report);
    action = archive::fxaAbort;
}

}  // namespace engine
