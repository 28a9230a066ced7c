// A server installation as one transaction: every change is written to the
// journal before it is made, with what undoes it; the new instance running
// commits it, and every failure before that rolls it back. A run cut short
// leaves the journal, and the next start settles it: back to the previous
// server before the commit, forward to the finished installation after it.
#pragma once

#include <functional>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "engine/Journal.h"
#include "environment/Port.h"
#include "platform/HeldPath.h"

namespace engine {

// What a deployment is about, written first so that a later start can finish it.
struct DeploymentHeader {
    bool installsServer = true;  // false: a kept server moved to another port or mode
    std::wstring appDir;         // the plan's
    std::wstring serverDir;      // the plan's
    environment::Port port = environment::StandardPort();  // the plan's
    std::wstring modeCode;       // "SS", "CS", "SC" or empty
    std::wstring installerDir;   // where the backup tool is copied from
    bool removesServer = false;  // the server removed (installsServer false then)
};

// A moved-aside file is its path + this, in its own folder (the same volume).
inline constexpr wchar_t kAsideSuffix[] = L".~istrel-old";
// The folder in the server folder that the files an upgrade replaces move
// into, each at its place relative to the server folder.
inline constexpr wchar_t kStashName[] = L".~istrel-old";

// One per run (RunState), over the run's journal: whoever changes the
// PC records the change through it.
class Transaction {
public:
    // Folders it made and set aside are undone through `way`, which holds
    // them and the folders above them.
    Transaction(Journal& journal, platform::HeldPath& way) : journal_(journal), way_(way) {}
    ~Transaction() { Settle(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // A method that records raises platform::Error (a record a later start
    // would refuse, an unsettled journal) or platform::SystemError (the
    // journal cannot be written). A change is recorded before it is made.
    // A marker is recorded with the application folder it belongs to.
    void RecordMarker(const std::wstring& appDir, const std::wstring& path);
    void Begin(const DeploymentHeader& header);
    // The instance's service as it is, before the service tool removes it.
    void RemovingService(const std::wstring& serviceName);
    void RegisteringService(const std::wstring& serviceName);
    // A missing folder on the way to the server folder (`last`: the server
    // folder itself), before it is made.
    void MakingFolder(const std::wstring& folder, bool last);
    // The server folder, before it is set aside whole (serverDir +
    // kAsideSuffix) for a new one: the commit deletes it, a rollback puts
    // it back once the new one has gone.
    void SettingAsideFolder(const std::wstring& serverDir);
    // Makes room for the kit in the server folder: the folders it lacks are
    // recorded, and every file the kit replaces is moved into the stash
    // (serverDir + kStashName), which the commit deletes. The kit's
    // files named in `kept` (as the kit names them) are not extracted: they
    // stay as they are, unrecorded. Raises platform::Error saying which
    // file could not be moved, and why.
    void PrepareFolder(const std::wstring& serverDir, const archive::ArchiveSurvey& kit,
                       const std::vector<std::wstring>& kept = {});
    // Moves the files aside, each recorded first: the commit deletes them,
    // a rollback puts them back. Raises platform::Error saying which file
    // could not be moved, and why.
    void SettingAside(const std::vector<std::wstring>& paths);
    // Where this run moved the file at path aside: beside it (path +
    // kAsideSuffix) or into the stash; nothing when it did not.
    std::optional<std::wstring> AsideOf(const std::wstring& path) const;
    // Puts the moved-aside file back at once, for an entry that may fail
    // without a word; nothing is recorded (the move's record undoes to
    // nothing once the file is back).
    void PutBackPrevious(const std::wstring& path);
    // A copy of the file beside it before it is edited in place.
    void SavingCopy(const std::wstring& path);
    // The new instance runs: recorded, then the moved-aside files and
    // copies go, on a thread of their own beside the run's last steps
    // (Settle waits for it; Finish and the destructor do).
    void Commit();
    void Settle();
    // A step after the commit is done (a kind without fields, kFirewall):
    // a committed run cut short before it does it at the next start.
    void RecordDone(const journal::Kind& step);
    // Everything after the commit is done as well.
    void Finish();

    // This run's journal holds the commit: nothing after it is undone.
    bool Committed() const;

private:
    Journal& journal_;
    platform::HeldPath& way_;
    std::thread settling_;
};

// The steps after the commit, run again for a committed deployment cut
// short; `records` are its journal's, the steps it recorded as done among them.
using Completion =
    std::function<void(const DeploymentHeader& header, const std::vector<JournalRecord>& records)>;

// The records hold one of `kind`.
bool Recorded(const std::vector<JournalRecord>& records, const journal::Kind& kind);

enum class Settled {
    kNothing,     // no journal, or one with this run's markers only
    kRolledBack,  // an unfinished deployment undone
    kCompleted,   // a committed one finished
    kIncomplete,  // an undo step failed: the journal stays for the next start
    kRefused,     // the journal failed a check: not acted on (see Journal::Load)
};

struct SettleResult {
    Settled outcome = Settled::kNothing;
    bool hadPreviousServer = false;  // a rolled-back deployment replaced or removed something
    std::wstring why;                // kRefused: the sentence for the user
    // kRolledBack: the instances that ran before and did not run again;
    // kCompleted: the committed run's instances that do not run.
    std::vector<std::wstring> notRunning;
};

// Undoes or finishes what the journal records, once it passed its checks,
// then removes it. Every step may be repeated, so a settlement cut short
// resumes at the next start. A journal left unsettled is held: nothing more
// is appended to it in this process.
SettleResult SettleJournal(Journal& journal, const Completion& complete);

// Undoes everything this run recorded (a failure before the commit), the
// folders it made through `way`.
SettleResult RollBack(Journal& journal, platform::HeldPath& way);

}  // namespace engine
