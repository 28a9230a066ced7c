// The engine's side of an installation: the record of the run (folders,
// port, flags, versions, the markers made, the journal, the exit code), the
// choices that the parameters page hands over, and the operations behind
// "Dokončiť". The wizard owns the record and passes it in, the engine's
// suites make their own; the engine reaches the user through InstallerUi
// and returns how the sequence ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "engine/Journal.h"
#include "outside/Outside.h"

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
};

// All zero, false, empty or none until the wizard's FormCreate fills it.
struct Installation {
    std::wstring m_szAppDir;
    std::wstring m_szFBDir;
    std::wstring m_szFBPort;
    std::wstring m_szGdsSource;
    bool m_bIsNT = false;
    bool m_bVista = false;
    bool m_bSilentInstall = false;
    bool m_bSuspendCreated = false;
    // Full paths of the markers this run created, in the folder shown when
    // they were made: a later "Vyhľadať" must not redirect their removal,
    // and markers someone else made are never listed.
    std::vector<std::wstring> m_OwnMarkers;
    int32_t m_nFBSetupVersion = 0;
    int32_t m_nFBVersion = 0;
    int32_t m_nExitCode = kExitDone;
    // The longest wait, in seconds, for instances of the application before
    // an unattended run is postponed; negative: as long as they run.
    int32_t m_nWaitSeconds = -1;
    // The write-ahead record of what this run changes, in its fixed place.
    Journal m_Journal;
    // The server folder this run made administrators' only, all in it
    // included; empty before.
    std::wstring m_ProtectedDir;

    // Raises the exit code to `code` when it is higher.
    void SetExitCode(int32_t code);
};

// What the parameters page says when "Dokončiť" is pressed, besides the
// server folder and port, which the wizard has put in m_szFBDir and
// m_szFBPort by then.
struct Choices {
    bool installServer = false;                 // chFB
    std::wstring shownAppDir;                   // lAppInfoFolder
    const outside::ServerMode* mode = nullptr;  // the checked radio button; none: nullptr
};

// How a press of "Dokončiť" ended, for the wizard to turn into a page.
struct SequenceOutcome {
    enum Kind {
        kFinished,  // every step done; errors on the way raised the exit code
        kStopped,   // a question answered No or the wait given up: nothing deployed
        kPostponed,  // an unattended run's wait ran out: nothing deployed
        kEnded,     // the server could not be set up and the previous one is back,
                    // or the user cancelled; the user has been told
    };
    Kind kind = kFinished;
    // Why a stop or a postponement happened, for the setup log of an
    // unattended run; empty for a question that only a person is asked.
    std::wstring stopReason;
};

// The install sequence on the parameters page. Raised errors leave it where
// they happen; the caller shows them.
SequenceOutcome RunInstallSequence(Installation& run, const Choices& choices, InstallerUi& ui);

// The kit checked whole, then the server from it into m_szFBDir,
// registered, configured and started, as one transaction: false when the
// installation is to end, the previous server given back and the user told.
bool InstallServer(Installation& run, const Choices& choices, InstallerUi& ui);
// The settings of firebird.conf for `mode` and m_szFBPort, then the
// instance for m_szFBPort registered and started, each step journalled.
// True when the instance runs; false, with nothing done, on a Windows that
// has no services (m_bIsNT false). Raises platform::Error saying why the
// instance could not be set up.
bool SetupService(Installation& run, const outside::ServerMode* mode);
// Stops and unregisters the instance of `port`, journalled first. Raises
// platform::Error when the instance is still there afterwards.
void RemoveService(Installation& run, const std::wstring& port);

// Why an unattended run cannot use the kit in `folder` (its working
// directory): missing or unreadable, the kit and the folder named; nothing
// when the kit can be read.
std::optional<std::wstring> KitUnusable(const std::wstring& folder);

// Settles a journal left by an earlier run (killed, power lost) or by this
// one: back to the server the PC had before an unfinished deployment,
// forward to the end of a committed one, this run's markers removed. Says
// what it did in the log or a message; nothing when there was nothing to do.
// False when no deployment may start: the journal could not be settled, or
// failed its checks and was set aside unused (reported, with the exit code
// kExitFailed), or was held earlier in this run (reported then).
bool SettleEarlierRun(Installation& run, InstallerUi& ui);

}  // namespace engine
