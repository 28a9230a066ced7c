// One press of "Dokončiť" inside the engine: the plan, the engine run's
// state it works on, and the operations behind it. Only the engine includes
// this; its caller holds an EngineRun (Engine.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "engine/Engine.h"
#include "engine/Journal.h"
#include "engine/Transaction.h"
#include "platform/HeldPath.h"
#include "platform/Security.h"

namespace engine {

class InstallerUi;

// An entry of the server folder whose rights must change, relative to it.
struct EntryProtection {
    std::wstring relative;
    platform::Protection protection;
};

// What the engine keeps from one press to the next, and until the exit.
struct RunState {
    explicit RunState(const Places& places);

    Places places;
    // The write-ahead record of what this run changes.
    Journal journal;
    // The folders on the way to the server folder, held while a
    // deployment works and until the run ends (HoldServerPath).
    platform::HeldPath serverPath;
    // The run's changes, recorded in journal; it knows whether they
    // committed, and undoes the folders it made through serverPath.
    Transaction transaction{journal, serverPath};
    // Full paths of the markers this run created, in the folder shown when
    // they were made: a later "Vyhľadať" must not redirect their removal,
    // and markers someone else made are never listed.
    std::vector<std::wstring> ownMarkers;
    bool m_bSuspendCreated = false;
    // The server folder this run judged trusted while it held it, and what
    // it found: nobody else may write it, so it is not walked again.
    std::wstring trustedDir;
    std::vector<EntryProtection> toProtect;
};

struct Installation : Plan {
    Installation(const Plan& plan, RunState& runState) : Plan(plan), state(runState) {}

    // The engine run's, kept from one press to the next.
    RunState& state;
    // The client library the application gets: the installed server's;
    // empty when no server was installed in this press.
    std::wstring m_szGdsSource;
};

// The install sequence on the parameters page. Errors raised after the
// commit leave it where they happen; the caller shows them.
Outcome RunInstallSequence(Installation& run, InstallerUi& ui);

// The removal of the server data.ini names (EngineRun::Remove).
Outcome RunRemoval(Installation& run, InstallerUi& ui);

// What the install sequence would do with `run` now (EngineRun::Check).
CheckOutcome CheckInstallation(Installation& run, InstallerUi& ui);

// The kit in the installer's folder as InstallServer checks it first:
// what it holds, and why it cannot be installed into the plan's serverDir
// (nothing when it can).
struct KitLook {
    archive::ArchiveSurvey kit;
    std::optional<std::wstring> refusal;
    bool opened = false;  // the kit could be opened at all
};
KitLook LookAtKit(const Installation& run);

// The kit checked whole, then the server from it into serverDir,
// registered, configured and started, as one transaction: kFinished, or
// how the installation ends (a kit refused, a failure or a cancel undone).
Outcome InstallServer(Installation& run, InstallerUi& ui);
// The settings of firebird.conf for the plan's mode and port, then the
// instance for the port registered and started, each step journalled.
// Raises platform::Error saying why the instance could not be set up: the
// server would not run, which is a failure, not a cancel.
void SetupService(Installation& run);
// The state of the instance registered for `port` in serverDir (named by
// InstanceName), 0 when there is none.
DWORD FindInstance(const Installation& run, environment::Port port);
// Stops and unregisters the instance of `port`, journalled first. Raises
// platform::Error when the instance is still there afterwards.
void RemoveService(Installation& run, environment::Port port);
// Stops and deletes the service through the service manager, journalled
// first: for an instance whose server's own tool is not to run. Raises
// platform::Error when it is still there afterwards.
void RemoveServiceThroughManager(Installation& run, const std::wstring& service);

// Settles the journal (EngineRun::SettleEarlierRun).
Outcome SettleEarlierRun(Journal& journal, InstallerUi& ui);

}  // namespace engine
