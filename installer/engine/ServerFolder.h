// The server folder and the folders on the way to it. The service runs the
// folder's firebird.exe as LocalSystem and later runs run its instsvc.exe
// elevated, so the installer keeps, carries over or runs what it finds
// there only when no standard user could have written it. It holds the way
// to it while the run works, makes every missing folder on it itself, and
// judges the folder through the handles it then uses.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "archive/ArchiveReader.h"
#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "platform/HeldPath.h"
#include "platform/Security.h"
#include "platform/Trust.h"
#include "platform/UniqueHandle.h"

namespace engine {

// True when serverDir holds a server and is known to be a server folder. A
// server there that is not known is logged with why; nothing of it runs.
bool IsKnownServer(const Installation& run, InstallerUi& ui);
// The same, nothing logged.
bool IsKnownServer(const Installation& run);

// What the installer may take the server folder's content for.
struct FolderTrust {
    bool known = false;    // IsKnownServer: a registered instance's program lies in it
    bool trusted = true;   // only the administrators could have written it (or it is missing)
    std::wstring finding;  // not trusted: what makes it so, for a sentence (kEntry…)
    // Trusted: what others may still read that is theirs to read no more (a
    // database); such a file with a further name is never changed.
    std::vector<EntryProtection> toProtect;
};
// Judges the server folder that HoldServerPath holds, through that handle
// and the handles a walk below it opens, once: a folder judged trusted while
// held stays so until the run ends (nobody else may write it). With the kit
// that an upgrade puts in its place, the kit's files it replaces are looked
// at only as entries (no link), not opened: the run neither reads, keeps nor
// runs them, it sets them aside and deletes them. Every folder, program and
// library, and every file the run keeps or carries over, is judged.
FolderTrust JudgeServerFolder(Installation& run, const archive::ArchiveSurvey* kit = nullptr);

// A finding of platform::FindUntrusted as the clause the messages take.
std::wstring FindingText(const platform::Untrusted& found);

// Holds the folders on the way to serverDir until the run ends (RunState's
// serverPath): each a real folder owned by the administrators, none to be
// renamed or replaced meanwhile. With `make`, every missing one is made by
// the run on the spot, recorded in the journal first, administrators' only.
// A way held already (by the run's look before its first change) is kept,
// and so is what was judged through it. Raises platform::Error naming the
// first folder that is not as it must be.
void HoldServerPath(Installation& run, bool make);
// After a deployment is committed: the folders on the way whose rights let
// others rename, delete or re-secure them are closed to that, each logged.
// A failure is reported.
void SecurePathAbove(Installation& run, InstallerUi& ui);
// The sentence for a folder on the way that failed its checks.
std::wstring PathProblemText(const platform::HeldPath::Problem& problem);

// Programs of a known server folder, taken for running.
class ServerPrograms {
public:
    // Opens each of `names` in serverDir sharing only reading (nobody may
    // write, rename or delete it while it is held), then judges the folder
    // (JudgeServerFolder) and gives its databases their protection. Raises
    // platform::Error saying why when a program cannot be opened or the
    // folder is not trusted (it is then left as it was).
    void Take(Installation& run, std::initializer_list<const wchar_t*> names);

private:
    std::vector<platform::UniqueKernelHandle> held_;
};

// Gives each entry its protection, through a handle of its own that never
// follows a link; a file with a further name is left as it is. Raises
// platform::Error saying which entry could not be changed.
void ProtectEntries(Installation& run, const std::vector<EntryProtection>& entries);

}  // namespace engine
