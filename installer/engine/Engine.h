// The engine as its caller sees it: the machine-wide places it acts on, the
// plan the wizard builds when "Dokončiť" is pressed, and the engine run that
// carries plans out and settles what an earlier run left. The engine's
// running state (the deployment guard, the journal, the markers it made,
// the folder it protected) is the engine run's own; it reaches the user
// through InstallerUi and returns how a sequence ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/DeploymentGuard.h"
#include "engine/Journal.h"
#include "engine/Transaction.h"
#include "outside/Outside.h"
#include "platform/Trust.h"

namespace engine {

class InstallerUi;

// Exit codes of Istrel.exe. A run ends with the highest code it met, so an
// error reported on the way outweighs a later stop or the end page.
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

    static Places OfThisPc();
    std::wstring JournalPath() const;
    std::wstring LegacyServerDir() const;
};

// What "Dokončiť" is to do, as the parameters page and the start-up say it.
struct Plan {
    bool installServer = false;                 // chFB
    std::wstring m_szAppDir;                    // the application's folder
    std::wstring shownAppDir;                   // lAppInfoFolder
    std::wstring m_szFBDir;                     // the server folder, ending in "\"
    std::wstring m_szFBPort;                    // by the port rule
    const outside::ServerMode* mode = nullptr;  // the checked radio button; none: nullptr
    bool m_bIsNT = true;                        // services exist
    bool m_bVista = true;                       // rights come from elevation
    // The longest wait, in seconds, for instances of the application before
    // an unattended run is postponed; negative: as long as they run.
    int32_t m_nWaitSeconds = -1;
};

// How a press of "Dokončiť" ended, for the wizard to turn into a page.
struct SequenceOutcome {
    enum Kind {
        kFinished,   // every step done; errors on the way were reported
        kStopped,    // a question answered No or the wait given up: nothing deployed
        kPostponed,  // an unattended run's wait ran out: nothing deployed
        kEnded,      // the server could not be set up and the previous one is back,
                     // or the user cancelled; the user has been told
    };
    Kind kind = kFinished;
    // Why a stop or a postponement happened, for the setup log of an
    // unattended run; empty for a question that only a person is asked.
    std::wstring stopReason;
};

// How a removal ended: as a sequence (kFinished: removed, or nothing to
// remove, the user told which; kStopped: answered No, or refused; kPostponed;
// kEnded: failed, the server given back, the user told), and whether it
// was refused before anything changed: the server is not one this
// installer may remove (stopReason says why).
struct RemovalOutcome {
    SequenceOutcome sequence;
    bool refused = false;
};

// What /CHECK found: the exit code a run now would end with before its first
// change (kExitDone: nothing to change; kExitWouldChange: it would change
// something and could start), and one setup-log line for each change the
// run would make and for what would stop it.
struct CheckOutcome {
    int32_t exitCode = kExitDone;
    std::vector<std::wstring> lines;
};

// What the engine keeps from one press to the next, and until the exit.
struct RunState {
    explicit RunState(const Places& places);

    Places places;
    // The write-ahead record of what this run changes.
    Journal m_Journal;
    // The run's changes, recorded in m_Journal; it knows whether they committed.
    Transaction m_Transaction{m_Journal};
    // Full paths of the markers this run created, in the folder shown when
    // they were made: a later "Vyhľadať" must not redirect their removal,
    // and markers someone else made are never listed.
    std::vector<std::wstring> m_OwnMarkers;
    bool m_bSuspendCreated = false;
    // The server folder this run made administrators' only, all in it
    // included; empty before.
    std::wstring m_ProtectedDir;
    // The folders on the way to the server folder, held while a
    // deployment works and until the run ends (HoldServerPath).
    platform::HeldPath m_ServerPath;
};

class EngineRun {
public:
    EngineRun(const Places& places, InstallerUi& ui);
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    // Takes the deployment guard (DeploymentGuard::Take): false while
    // another run holds it; raises platform::Error when it cannot be made.
    // Until then the journal is not touched.
    bool TakeGuard() { return guard_.Take(); }
    // Gives the guard back before the process ends without its destructors;
    // nothing of the run may follow.
    void GiveBackGuard() { guard_.Release(); }

    // Gives the deployment guard back: a check holds it no longer than it
    // looks, and the exit then settles nothing.
    void ReleaseGuard() { guard_.Release(); }

    // The install sequence for `plan`. Raised errors leave it where they
    // happen; the caller shows them.
    SequenceOutcome Install(const Plan& plan);
    // What Install would do with `plan` now, and the exit code it would end
    // with before its first change; nothing is changed, the journal is only
    // looked at. A server folder that is not known is logged as Install
    // logs it.
    CheckOutcome Check(const Plan& plan);
    // Removes the server that the application's data.ini names, when it is
    // one this installer set up (its own instance, a trusted folder):
    // `plan` gives the application's folder and the wait's limit. Its
    // instance, programs and libraries and the firewall rule go; the
    // administrator's files stay. Raised errors leave it where they happen.
    RemovalOutcome Remove(const Plan& plan);

    // Settles a journal left by an earlier run (killed, power lost) or by
    // this one: back to the server the PC had before an unfinished
    // deployment, forward to the end of a committed one. Says what it did in
    // the log or a message; nothing when there was nothing to do. False when
    // no deployment may start: the journal could not be settled, or failed
    // its checks and was set aside unused (reported, the run ends with
    // kExitFailed), or was held earlier in this run (reported then); and,
    // doing nothing, without the guard: the journal is another run's. A
    // journal set aside leaves no marker of this computer behind: the stop
    // marker and this computer's no-run marker in the application's folder
    // are deleted by their own names.
    bool SettleEarlierRun();
    // Why an earlier run's journal would be refused, only looked at
    // (Journal::Inspect); nothing when there is none or it would be settled.
    std::optional<std::wstring> InspectEarlierRun() const { return state_.m_Journal.Inspect(); }
    // A journal lies in its place: a start-up has something to settle.
    bool JournalExists() const { return state_.m_Journal.Exists(); }

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
    // Declared before the journal, so given back after it is closed: its
    // folders can go then.
    DeploymentGuard guard_;
    RunState state_;
};

// Why an unattended run cannot use the kit in `folder` (its working
// directory): missing or unreadable, the kit and the folder named; nothing
// when the kit can be read.
std::optional<std::wstring> KitUnusable(const std::wstring& folder);

}  // namespace engine
