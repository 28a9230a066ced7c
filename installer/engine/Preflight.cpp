#include "engine/Preflight.h"

#include <optional>

#include "engine/Installation.h"
#include "engine/InstanceName.h"
#include "engine/Messages.h"
#include "engine/OpenFolder.h"
#include "engine/ServerFolder.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "environment/Ports.h"
#include "environment/Versions.h"
#include "platform/Errors.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

// %s: version, folder, port, mode.
constexpr wchar_t kWouldInstall[] =
    L"Inštalácia by nainštalovala Firebird SQL server %s do priečinka %s na port %s, režim %s.";
// %s: the installed version, the folder.
constexpr wchar_t kWouldReplace[] =
    L"Inštalácia by nahradila Firebird SQL server %s v priečinku %s; jeho databázy a nastavenia "
    L"by ponechala.";
// %s: the finding that makes the folder open to users.
constexpr wchar_t kWouldSetAside[] =
    L"Priečinok servera mohol zmeniť aj iný používateľ ako administrátor (%s); inštalácia by ho "
    L"odložila a preniesla by kópie databáz do nového priečinka s právami len pre "
    L"administrátorov.";
// %s: the legacy server's folder.
constexpr wchar_t kWouldRemoveLegacy[] =
    L"Inštalácia by odstránila inštanciu velmora64b staršieho Firebird SQL servera v priečinku %s.";
// %s: old port, new port.
constexpr wchar_t kWouldMove[] = L"Inštalácia by presunula ponechaný server z portu %s na port %s.";
// %s: old mode, new mode (data.ini codes).
constexpr wchar_t kWouldChangeMode[] =
    L"Inštalácia by zmenila režim ponechaného servera z %s na %s.";
// %s: version, folder, port, mode.
constexpr wchar_t kNothingToChange[] =
    L"Inštalácia by nič nezmenila: Firebird SQL server %s v priečinku %s beží na porte %s, "
    L"režim %s.";
// As kNothingToChange, for an instance that does not run (a run would not
// start it). %s: version, folder, port, mode, the instance twice.
constexpr wchar_t kNothingToChangeStopped[] =
    L"Inštalácia by nič nezmenila: Firebird SQL server %s v priečinku %s je nainštalovaný na "
    L"porte %s, režim %s, ale jeho inštancia %s nebeží; spustite ju príkazom sc start "
    L"FirebirdServer%s.";
constexpr wchar_t kNoServerChange[] =
    L"Inštalácia by Firebird SQL server nenainštalovala ani nezmenila.";

std::wstring Dotted(const std::optional<environment::FileVersion>& version) {
    const std::wstring text = environment::FormatVersion(version, environment::kVersionDottedForm);
    return text.empty() ? L"?" : text;
}

std::optional<environment::FileVersion> KitVersion(const std::wstring& kitPath) {
    try {
        return environment::ReadEntryVersion(kitPath, outside::kClientDll);
    } catch (...) {
        return std::nullopt;  // the kit's check says why
    }
}

class Lines {
public:
    Lines(Installation& run, InstallerUi& ui) : run_(run), ui_(ui) {}

    std::vector<PreflightLine> Run() {
        run_.installServer ? Install() : Keep();
        return lines_;
    }

private:
    void Install() {
        Questions();
        const KitLook kit = LookAtKit(run_);
        if (kit.refusal) return Stop(*kit.refusal, /*asItIs=*/true, /*runGoesOn=*/!kit.opened);
        if (!HeldWay()) return;
        const FolderTrust trust = JudgeServerFolder(run_, &kit.kit);
        std::optional<OpenFolderUpgrade> open;
        if (!trust.trusted && !OpenFolder(trust, kit.kit, open)) return;
        Legacy();
        if (open && !ServerRuns() && !Free(open->HeldFile())) return;
        if (trust.trusted && !Free(ServerProgramHeld())) return;
        Wait();
        if (!trust.trusted) Change(Fill(kWouldSetAside, {trust.finding}));
        if (environment::IsFBInstalled(run_.serverDir))
            Change(Fill(kWouldReplace,
                        {Dotted(environment::ReadFileVersion(run_.serverDir + outside::kClientDll)),
                         run_.serverDir}));
        Change(Fill(kWouldInstall, {Dotted(KitVersion(run_.state.places.KitPath())), run_.serverDir,
                                    run_.port.Text(), Mode()}));
    }

    // A kept server counts as installed only when a run could also move
    // it: the same trust rules stop it otherwise.
    void Keep() {
        if (!IsKnownServer(run_, ui_)) return Stop(kNoServerChange, true, /*runGoesOn=*/true);
        if (!HeldWay()) return;
        if (const FolderTrust trust = JudgeServerFolder(run_); !trust.trusted)
            return Stop(Fill(kForeignPrograms, {run_.serverDir, trust.finding}));
        const std::wstring ini = AppDir() + outside::kDataIni;
        const environment::FoundPort known = environment::ReadFBPort(
            run_.serverDir + outside::kServerConf, ini, environment::PortSource::kAgreed);
        const std::wstring storedMode = environment::ReadFBType(ini);
        const std::wstring mode = run_.mode ? run_.mode->iniCode : L"";
        const bool moves = known.port != run_.port;
        if (moves) Change(Fill(kWouldMove, {known.text.empty() ? L"?" : known.text, run_.port.Text()}));
        if (storedMode != mode)
            Change(Fill(kWouldChangeMode, {storedMode.empty() ? L"?" : storedMode, mode}));
        if (moves || storedMode != mode) return;
        const std::wstring version =
            Dotted(environment::ReadFileVersion(run_.serverDir + outside::kClientDll));
        const std::wstring instance = InstanceName(run_.serverDir, run_.port).Text();
        // Installed all the same: a run would not start it either.
        lines_.push_back({PreflightLine::kChange,
                          FindInstance(run_, run_.port) != SERVICE_RUNNING
                              ? Fill(kNothingToChangeStopped, {version, run_.serverDir,
                                                               run_.port.Text(), Mode(), instance,
                                                               instance})
                              : Fill(kNothingToChange,
                                     {version, run_.serverDir, run_.port.Text(), Mode()}),
                          L"", kExitDone});
    }

    // The questions before anything changes (InstallSequence asks them).
    void Questions() {
        std::wstring other;
        // Asked in an unattended run too: it stops someone else's server.
        if (!environment::IsPortFree(run_.serverDir, run_.port, other))
            Ask(kInFolder + other + kOnPort + run_.port.Text() + kOtherInstanceRuns,
                InstallerUi::Asked::kAlways);
        if (environment::IsFBInstalled(run_.serverDir))
            Ask(kInFolder + run_.serverDir + kAlreadyInstalled, InstallerUi::Asked::kOnlyAttended);
    }

    // The folders on the way, checked and held as a deployment holds them;
    // none is made.
    bool HeldWay() {
        if (const platform::HeldPath::Problem problem = run_.state.serverPath.Hold(run_.serverDir)) {
            Stop(PathProblemText(problem));
            return false;
        }
        return true;
    }

    // An open folder is upgraded only from a known server, with room for the
    // copy of its data and no folder link inside.
    bool OpenFolder(const FolderTrust& trust, const archive::ArchiveSurvey& kit,
                    std::optional<OpenFolderUpgrade>& open) {
        try {
            open.emplace(run_, ui_, trust, kit);
            return true;
        } catch (const platform::Error& e) {
            Stop(e.Message());
            return false;
        }
    }

    void Legacy() {
        const std::wstring legacy = run_.state.places.LegacyServerDir();
        if (platform::EntryExists(legacy + outside::kServerExe)) Change(Fill(kWouldRemoveLegacy, {legacy}));
    }

    // Whether the folder's own instance runs: then it, not another program,
    // may be what holds its files, and it stops before the run uses them.
    bool ServerRuns() const {
        const std::optional<environment::Port> port =
            environment::ReadFBPort(run_.serverDir + outside::kServerConf, AppDir() + outside::kDataIni,
                                    environment::PortSource::kServer)
                .port;
        return port && FindInstance(run_, *port) == SERVICE_RUNNING;
    }

    std::optional<std::wstring> ServerProgramHeld() const {
        if (ServerRuns() || !environment::IsFileLocked(run_.serverDir + outside::kServerExe))
            return std::nullopt;
        return std::wstring(kServerInUse);
    }

    bool Free(const std::optional<std::wstring>& held) {
        if (held) Stop(*held);
        return !held;
    }

    // Always, for the markers that hold the application still while the
    // server changes; a run waits as long as it counts instances.
    void Wait() {
        lines_.push_back({PreflightLine::kWait, L"", L"", kExitDone, InstallerUi::Asked::kAlways,
                          environment::CountRunningInstances(AppDir())});
    }

    // A stop of the run's: it says that nothing of it was left, unless the
    // sentence says enough `asItIs` (the kit's refusal).
    void Stop(const std::wstring& why, bool asItIs = false, bool runGoesOn = false) {
        PreflightLine line{PreflightLine::kStop, why, asItIs ? why : kNothingLeft + why, kExitFailed};
        line.runGoesOn = runGoesOn;
        lines_.push_back(line);
    }
    void Ask(const std::wstring& question, InstallerUi::Asked asked) {
        lines_.push_back({PreflightLine::kAsk, question, L"", kExitStopped, asked});
    }
    void Change(const std::wstring& line) {
        lines_.push_back({PreflightLine::kChange, line, L"", kExitWouldChange});
    }

    std::wstring AppDir() const {
        return platform::WithDelimiter(run_.shownAppDir.empty() ? run_.appDir : run_.shownAppDir);
    }
    std::wstring Mode() const { return run_.mode ? run_.mode->confValue : L"?"; }

    Installation& run_;
    InstallerUi& ui_;
    std::vector<PreflightLine> lines_;
};

}  // namespace

std::vector<PreflightLine> Preflight(Installation& run, InstallerUi& ui) {
    return Lines(run, ui).Run();
}

}  // namespace engine
