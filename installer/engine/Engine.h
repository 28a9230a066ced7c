// The engine as its caller sees it: the machine-wide places it acts on, the
// plan the wizard builds when "Dokončiť" is pressed, and the engine run that
// carries plans out and settles what an earlier run left. The engine's
// running state (the deployment guard, the journal, the markers it made,
// the folder it protected) is the engine run's own; it reaches the user
// through InstallerUi and returns how a sequence ended.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "environment/Port.h"
#include "outside/Outside.h"

namespace engine {

class DeploymentGuard;
class InstallerFolder;
class InstallerUi;
struct RunState;

// Exit codes of Istrel.exe. A run ends with the code of its most severe
// ending (Outcome::ExitCode, Outcome::Severity), so an error reported on
// the way outweighs a later stop or the end page.
enum ExitCode : int32_t {
    kExitDone = 0,        // the end page was reached and no error was reported
    kExitNotStarted = 1,  // start-up failed or a bad option: nothing changed
    kExitStopped = 2,     // "Storno", the close icon, a question answered No, waiting given up
    kExitFailed = 3,      // an error stopped the run or was reported on the way
    // Instances of the application still ran when the unattended wait ran
    // out: nothing changed, the same command may run again later. Only a
    // run that met no error ends so.
    kExitPostponed = 4,
    // Only /CHECK: a run now would install or change something and could
    // start. Never a run's own code.
    kExitWouldChange = 5,
};

// Places every run on the PC shares. wWinMain hands in the PC's own
// (OfThisPc); suites hand in scratch places of their own.
struct Places {
    // The application's key under HKEY_LOCAL_MACHINE (its value BaseDir).
    std::wstring appKey;
    // The folder of the deployment's journal, made for SYSTEM and
    // administrators only; the deployment guard's file lies there too.
    std::wstring journalDir;
    // The 64-bit Program Files folder, where the legacy server lies.
    std::wstring programFilesDir;
    // The installer's folder, ending in "\": the server kit and the backup
    // tool lie there.
    std::wstring installerDir;

    // The PC's places, the installer's folder as given.
    static Places OfThisPc(const std::wstring& installerDir);
    std::wstring JournalPath() const;
    std::wstring KitPath() const;
    std::wstring LegacyServerDir() const;
};

// What "Dokončiť" is to do, as the parameters page and the start-up say it.
struct Plan {
    bool installServer = false;  // the server from the kit, else the installed one kept
    std::wstring appDir;         // the application's folder
    std::wstring shownAppDir;    // the application's folder as the page shows it
    std::wstring serverDir;      // the server folder, ending in "\"
    environment::Port port = environment::NewServerPort();
    const outside::ServerMode* mode = nullptr;  // the chosen mode; none: nullptr
    // The longest wait, in seconds, for instances of the application before
    // an unattended run is postponed; negative: as long as they run.
    int32_t waitSeconds = -1;
};

// How a run of the engine ended: an installation ("Dokončiť"), a removal,
// or the settlement of an earlier run's journal. The wizard shows the
// sentence and ends the program with ExitCode().
struct Outcome {
    enum Kind {
        kFinished,   // every step done
        kStopped,    // a question answered No or the wait given up: nothing deployed
        kPostponed,  // an unattended run's wait ran out: nothing deployed
        kRefused,    // not started: nothing this installer may change, or could start
        kCancelled,  // the user stopped the extraction; the previous server is back
        kFailed,     // a step failed; the sentence says why and what is back
    };
    Kind kind = kFinished;
    // kFailed: the error for the user, empty when it was told already;
    // kCancelled: what the user got back; kStopped, kPostponed and kRefused:
    // why, for the setup log (empty for a question only a person is asked).
    std::wstring sentence;
    // Errors were reported on the way (InstallerUi::ReportError): the run
    // went on, but ends failed.
    bool errorsReported = false;

    // The program's exit code for this ending, the one table of it (the
    // README's): kFinished 0, kPostponed 4, kStopped and kCancelled 2,
    // kRefused 1, kFailed 3; errors reported on the way make any of them 3.
    int32_t ExitCode() const;
    // Which of two endings of one run counts: the more severe, from kFinished
    // to kPostponed, kStopped and kCancelled, kRefused, kFailed.
    static int Severity(Kind kind);
};

// What /CHECK found: the exit code a run now would end with before its first
// change (kExitDone: nothing to change; kExitWouldChange: it would change
// something and could start), and one setup-log line for each change the
// run would make and for what would stop it.
struct CheckOutcome {
    int32_t exitCode = kExitDone;
    std::vector<std::wstring> lines;
};

class EngineRun {
public:
    EngineRun(const Places& places, InstallerUi& ui);
    ~EngineRun();
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    // Takes the deployment guard (DeploymentGuard::Take): false while
    // another run holds it; raises platform::Error when it cannot be made.
    // Until then the journal is not touched.
    bool TakeGuard();
    // This run holds the guard: the journal is its to settle.
    bool HoldsGuard() const;
    // Why a run now could not take the guard, only looked at (/CHECK):
    // kPostponed while another run holds it, kFailed with the sentence
    // when it could not be made; nothing when a run could take it.
    std::optional<Outcome> LookAtGuard() const;
    // Gives the guard back before the process ends without its
    // destructors. Nothing of the run may follow that needs it.
    void GiveBackGuard();

    // Why the run must not start from the folder the program lies in
    // (`programDir`) and the installer's folder: a standard user could have
    // written them or the kit (InstallerFolder::Check); nothing when it may.
    // The folders stay held until the run ends.
    std::optional<std::wstring> CheckInstallerFolder(const std::wstring& programDir);
    // Deletes the kit and a setup launcher beside it, each by its own
    // handle (a finished run's end); nothing before CheckInstallerFolder.
    void DeleteKitFiles(bool setupLauncherToo);

    // The install sequence for `plan`. Errors raised after the commit
    // leave it where they happen; the caller shows them.
    Outcome Install(const Plan& plan);
    // What Install would do with `plan` now, and the exit code it would end
    // with before its first change; nothing is changed, the journal is only
    // looked at. A server folder that is not known is logged as Install
    // logs it.
    CheckOutcome Check(const Plan& plan);
    // Removes every server this installer set up, found through the service
    // manager (the one data.ini names first), each that it may remove by the
    // rules of an installation: its instances, programs and libraries and
    // the firewall rule go, the administrator's files stay. `plan` gives the
    // application's folder and the wait's limit. kRefused when none may go
    // or one of the installer's instances stays registered. Errors raised
    // after the commit leave it where they happen.
    Outcome Remove(const Plan& plan);

    // Settles a journal left by an earlier run (killed, power lost) or by
    // this one: back to the server the PC had before an unfinished
    // deployment, forward to the end of a committed one. Says what it did in
    // the log or a message; nothing when there was nothing to do. kFinished
    // when a deployment may start (errorsReported when an instance of the
    // previous server did not run again). kFailed when none may: the journal
    // could not be settled, or failed its checks and was set aside unused
    // (the sentence says why), or was held earlier in this run (told then,
    // no sentence); and, doing nothing, without the guard: the journal is
    // another run's. A journal set aside leaves no marker of this computer
    // behind: the stop marker and this computer's no-run marker in the
    // application's folder are deleted by their own names.
    Outcome SettleEarlierRun();
    // Why an earlier run's journal would be refused, only looked at
    // (Journal::Inspect); nothing when there is none or it would be settled.
    std::optional<std::wstring> InspectEarlierRun() const;
    // A journal lies in its place: a start-up has something to settle.
    bool JournalExists() const;

    // A no-run marker of this computer in the application's folder that an
    // earlier run left (cut short) is this run's to delete at its end:
    // nothing else of this computer's makes it, and it keeps the
    // application from starting here.
    void AdoptStrayMarker(const std::wstring& appDir);

    // Deletes the markers this run made or adopted, once; a link in the
    // place of one stays and is logged.
    void DeleteOwnMarkers();

private:
    void DeleteMarker(const std::wstring& marker);

    InstallerUi& ui_;
    // Declared before the run's state, so given back after its journal is
    // closed: its folders can go then.
    std::unique_ptr<DeploymentGuard> guard_;
    std::unique_ptr<RunState> state_;
    std::unique_ptr<InstallerFolder> installerFolder_;
};

// Why an unattended run cannot use the kit in the installer's folder
// `installerDir`: missing or unreadable, the kit and the folder named;
// nothing when the kit can be read.
std::optional<std::wstring> KitUnusable(const std::wstring& installerDir);

}  // namespace engine
