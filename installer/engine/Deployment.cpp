// The server from the installer's kit into the server folder, registered,
// configured and started as a service, with the firewall opened for it;
// and what the extraction's progress and failures do. The kit is checked
// whole before anything changes, and everything up to the new instance
// running is one transaction: a failure gives the PC back the server it had.
#include <optional>
#include <set>

#include "engine/CommandLines.h"
#include "engine/Extraction.h"
#include "engine/ExtractionRules.h"
#include "engine/FilePolicy.h"
#include "engine/InstanceName.h"
#include "engine/Messages.h"
#include "engine/OpenFolder.h"
#include "engine/Rollback.h"
#include "engine/ServerFolder.h"
#include "engine/Tools.h"
#include "engine/Transaction.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

constexpr wchar_t kNoRoom[] = L"na disku servera nie je dosť miesta (treba %s MB, voľných je %s MB).";

// The user interface knows that the extraction runs exactly while the
// reader extracts, on every way out.
class ExtractionScope {
public:
    explicit ExtractionScope(InstallerUi& ui) : ui_(ui) { ui_.ExtractionStarted(); }
    ~ExtractionScope() { ui_.ExtractionEnded(); }
    ExtractionScope(const ExtractionScope&) = delete;
    ExtractionScope& operator=(const ExtractionScope&) = delete;

private:
    InstallerUi& ui_;
};

// The kit as a whole: readable, every entry extractable inside the server
// folder, the entries the installer relies on present, room on the drive.
// Nothing when it may be used, otherwise why not.
std::optional<std::wstring> CheckKit(const archive::ArchiveSurvey& kit, const std::wstring& serverDir) {
    const std::wstring refused = Fill(kKitRefused, {outside::kKitArchive});
    if (kit.problem) return refused + *kit.problem;
    for (const wchar_t* needed : outside::kKitEntries) {
        const bool found = std::any_of(kit.files.begin(), kit.files.end(), [&](const auto& f) {
            return platform::SameName(f, needed);
        });
        if (!found) return refused + kKitLacks + needed + L".";
    }
    const uint64_t free = FreeBytesFor(serverDir);
    if (free < kit.totalBytes)
        return refused + Fill(kNoRoom, {Megabytes(kit.totalBytes), Megabytes(free)});
    return std::nullopt;
}

// The kit's files that the administrator made their own in the folder: they
// stay as they are. A link in their place is replaced as any other file:
// kept, it would leave the server reading what the link points to, which a
// user who could write the folder before may have chosen.
KeptFiles AdministratorsFiles(const std::wstring& serverDir, const archive::ArchiveSurvey& kit) {
    KeptFiles kept;
    for (size_t i = 0; i < kit.files.size(); ++i) {
        const std::wstring path = serverDir + kit.files[i];
        if (!IsAdministratorsFile(kit.files[i]) || !platform::EntryExists(path) ||
            platform::IsReparsePoint(path))
            continue;
        kept.files.push_back(kit.files[i]);
        kept.bytes += kit.fileBytes[i];
    }
    return kept;
}

// What a deployment protects: the entries its judgement found, and every
// database the kit brings that the folder did not keep.
std::vector<EntryProtection> WithKitDatabases(std::vector<EntryProtection> entries,
                                              const archive::ArchiveSurvey& kit,
                                              const std::vector<std::wstring>& kept) {
    std::set<std::wstring> keep;
    for (const std::wstring& file : kept) keep.insert(platform::FoldedName(file));
    for (const std::wstring& file : kit.files)
        if (IsDatabaseFile(file) && !keep.count(platform::FoldedName(file)))
            entries.push_back({file, platform::Protection::kAdministratorsOnly});
    return entries;
}

// Opens the kit in `zip`, which the extraction then reads: what is
// extracted is what was checked, whatever takes the kit's name meanwhile.
archive::ArchiveSurvey SurveyKit(archive::ArchiveReader& zip, const std::wstring& kitPath) {
    try {
        zip.FileName = kitPath;
        zip.OpenArchive();
        return zip.Survey();
    } catch (const archive::ArchiveError&) {
        throw platform::Error(kOpenError + std::wstring(outside::kKitArchive));
    }
}

class ServerDeployment {
public:
    ServerDeployment(Installation& run, InstallerUi& ui)
        : run_(run), ui_(ui), tx_(run.state.transaction) {}

    Outcome Run() {
        const archive::ArchiveSurvey kit = SurveyKit(zip_, run_.state.places.KitPath());
        if (const std::optional<std::wstring> refused = CheckKit(kit, run_.serverDir))
            return {Outcome::kFailed, *refused};
        run_.m_szGdsSource = run_.serverDir + outside::kClient32Dll;
        const Outcome deployed = AsOneTransaction(
            tx_, [&] { return Deploy(kit); },
            [&](const std::optional<std::wstring>& failure) {
                return RollBackInstallation(run_.state, ui_, failure);
            });
        if (deployed.kind != Outcome::kFinished) return deployed;
        // Said once it is so; a rollback reports its own cause.
        if (openFolder_) openFolder_->Report();
        SecurePathAbove(run_, ui_);
        if (FirewallRule(HeaderFor(run_, /*installsServer=*/true), ui_))
            tx_.RecordDone(journal::kFirewall);
        return deployed;
    }

private:
    // True once committed; false when the user cancelled. The first
    // failure raises.
    bool Deploy(const archive::ArchiveSurvey& kit) {
        tx_.Begin(HeaderFor(run_, /*installsServer=*/true));
        HoldServerPath(run_, /*make=*/true);
        const FolderTrust trust = JudgeServerFolder(run_, &kit);
        if (!trust.trusted) openFolder_.emplace(run_, ui_, trust, kit);
        RemoveLegacyInstance();
        // The port of the server now in the folder, before the kit replaces
        // its firebird.conf.
        const std::optional<environment::Port> oldPort =
            environment::ReadFBPort(run_.serverDir + outside::kServerConf,
                                    run_.appDir + outside::kDataIni, environment::PortSource::kServer)
                .port;
        if (oldPort && FindInstance(run_, *oldPort) != 0) RemoveOldInstance(*oldPort, trust);

        const KeptFiles kept = trust.trusted ? AdministratorsFiles(run_.serverDir, kit)
                                             : openFolder_->TakeOfficeData();
        const int32_t requiredBytes = static_cast<int32_t>(kit.totalBytes - kept.bytes);
        ui_.ExtendProgress(requiredBytes, kStatusInstalling);
        if (environment::IsFileLocked(run_.serverDir + outside::kServerExe))
            throw platform::Error(kServerInUse);
        tx_.PrepareFolder(run_.serverDir, kit, kept.files);
        ExtractKit(requiredBytes, kept.files);
        if (ui_.CancelRequested()) return false;
        if (trust.trusted) CarryOldSettings();
        // The kit's databases are the office's from now on, and so are those
        // the folder kept that others could still read.
        ProtectEntries(run_, WithKitDatabases(trust.toProtect, kit, kept.files));
        SetupService(run_);
        tx_.Commit();
        return true;
    }

    // The instance of the server now in the folder goes through that
    // server's own tool, which runs only from a trusted, known server
    // folder; from one users could have written, through the service manager.
    void RemoveOldInstance(environment::Port port, const FolderTrust& trust) {
        if (!trust.known) return;
        if (!trust.trusted) {
            RemoveServiceThroughManager(run_, InstanceName(run_.serverDir, port).Service());
            return;
        }
        ServerPrograms tool;
        tool.Take(run_, {outside::kServiceTool});
        RemoveService(run_, port);
    }

    // Raises when its service tool did not end in time. Its tool runs only
    // from a folder that no user could have written.
    void RemoveLegacyInstance() {
        const std::wstring legacy = run_.state.places.LegacyServerDir();
        if (!platform::EntryExists(legacy + outside::kServerExe)) return;
        const std::wstring service =
            std::wstring(outside::kServiceNamePrefix) + outside::kLegacyInstance;
        if (platform::FindUntrusted(legacy)) {
            RemoveServiceThroughManager(run_, service);
            return;
        }
        tx_.RemovingService(service);
        RunToolInTime(LegacyToolCommand(legacy, outside::kToolStop));
        RunToolInTime(LegacyToolCommand(legacy, outside::kToolRemove));
    }

    // The administrator's settings from the firebird.conf the kit replaced
    // go into the kit's; the one moved aside is what a rollback puts back.
    // Read only now, in the folder that only administrators write.
    void CarryOldSettings() {
        const std::wstring conf = run_.serverDir + outside::kServerConf;
        if (const std::optional<std::wstring> old = tx_.AsideOf(conf))
            environment::CarryConfSettings(conf, *old);
    }

    // The kit into the server folder but for the files kept; errors of the
    // reader are raised, and so is the first entry that ended the extraction.
    void ExtractKit(int32_t requiredBytes, const std::vector<std::wstring>& kept) {
        archive::ArchiveReader& zip = zip_;
        KitExtraction extraction(tx_, run_.serverDir, requiredBytes, ui_);
        zip.BaseDir = run_.serverDir;
        zip.FileMasks.push_back(L"*.*");
        zip.SkippedFiles = kept;
        zip.OnOverallProgress = [&extraction](double progress, bool& cancel) {
            extraction.OnOverallProgress(progress, cancel);
        };
        zip.OnProcessFileFailure = [&extraction](const std::wstring& name,
                                                 const std::wstring& error,
                                                 archive::TZFProcessFileFailureAction& action) {
            extraction.OnFileFailure(name, error, action);
        };
        try {
            ExtractionScope running(ui_);
            zip.ExtractFiles();
        } catch (...) {
            extraction.RaiseFailure();  // the first failure is the one to tell
            throw;
        }
        zip.CloseArchive();
        extraction.RaiseFailure();
    }

    Installation& run_;
    InstallerUi& ui_;
    Transaction& tx_;
    archive::ArchiveReader zip_;  // the kit, open from its survey to the extraction's end
    // The upgrade of a server folder that users could write.
    std::optional<OpenFolderUpgrade> openFolder_;
};

}  // namespace

std::optional<std::wstring> KitUnusable(const std::wstring& folder) {
    const std::wstring kit = outside::kKitArchive;
    if (!platform::FileExists(folder + kit))
        return kCannotGoOn + (L"V priečinku " + folder + L" chýba inštalačný balík " + kit + L".");
    try {
        archive::SurveyArchive(folder + kit);
        return std::nullopt;
    } catch (const archive::ArchiveError& e) {
        return kCannotGoOn + (L"Inštalačný balík " + kit + L" v priečinku " + folder +
               L" sa nedá prečítať: " + e.Message());
    }
}

KitLook LookAtKit(const Installation& run) {
    KitLook look;
    try {
        archive::ArchiveReader zip;
        look.kit = SurveyKit(zip, run.state.places.KitPath());
        look.opened = true;
        look.refusal = CheckKit(look.kit, run.serverDir);
    } catch (const platform::Error& e) {
        look.refusal = e.Message();
    }
    return look;
}

Outcome InstallServer(Installation& run, InstallerUi& ui) {
    return ServerDeployment(run, ui).Run();
}

KitExtraction::KitExtraction(Transaction& transaction, std::wstring serverDir,
                             int32_t requiredBytes, InstallerUi& ui)
    : m_RequiredBytes(requiredBytes), transaction_(transaction), serverDir_(std::move(serverDir)),
      ui_(ui) {}

void KitExtraction::OnOverallProgress(double progress, bool& cancel) {
    const ProgressStep step = NextProgressStep(progress, m_RequiredBytes, m_ProgressPrevious);
    if (step.advance > 0) ui_.AdvanceProgress(step.advance);
    m_ProgressPrevious = step.shown;
    // Keeps the window alive and lets "Storno" ask its question.
    ui_.KeepResponsive();
    cancel = ui_.CancelRequested();
}

void KitExtraction::OnFileFailure(const std::wstring& fileName, const std::wstring& errorMessage,
                                  archive::TZFProcessFileFailureAction& action) {
    const FailureChoice choice = ChooseFileFailure(ui_.CancelRequested(), fileName, errorMessage);
    action = choice.action;
    if (action == archive::fxaIgnore && choice.report.empty()) {
        // An entry that may fail quietly keeps the file the folder had.
        transaction_.PutBackPrevious(serverDir_ + fileName);
        return;
    }
    // Any other entry missing would leave a server of two versions: the
    // extraction ends and the deployment rolls back.
    if (!choice.report.empty() && !failure_) failure_ = choice.report;
    action = archive::fxaAbort;
}

void KitExtraction::RaiseFailure() const {
    if (failure_) throw platform::Error(*failure_);
}

}  // namespace engine
