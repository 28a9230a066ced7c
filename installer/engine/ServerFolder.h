// The server folder and the folders on the way to it. The service runs the
// folder's firebird.exe as LocalSystem and later runs run its instsvc.exe
// elevated, so the installer keeps, carries over or runs what it finds
// there only when no standard user could have written it, and holds the
// way to it so that nobody can swap a folder on it while the run works.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "platform/Trust.h"
#include "platform/UniqueHandle.h"

namespace engine {

// True when serverDir holds a server and is known to be a server folder. A
// server there that is not known is logged with why; nothing of it runs.
bool IsKnownServer(const Installation& run, InstallerUi& ui);

// What the installer may take the server folder's content for.
struct FolderTrust {
    bool known = false;    // IsKnownServer: a registered instance's program lies in it
    bool trusted = true;   // only the administrators could have written it (or it is missing)
    std::wstring finding;  // not trusted: what makes it so, for a sentence (kEntry…)
};
FolderTrust JudgeServerFolder(const Installation& run);

// A finding of platform::FindUntrusted as the clause the messages take.
std::wstring FindingText(const platform::Untrusted& found);

// Holds the folders on the way to serverDir until the run ends (RunState's
// m_ServerPath): each a real folder owned by the administrators, none to be
// renamed or replaced meanwhile. Raises platform::Error naming the first
// folder that is not.
void HoldServerPath(Installation& run);
// After a deployment is committed: the folders on the way that users could
// rename or delete are closed to that, each logged. A failure is reported.
void SecurePathAbove(Installation& run, InstallerUi& ui);
// The sentence for a folder on the way that failed its checks.
std::wstring PathProblemText(const platform::HeldPath::Problem& problem);

// Programs of a known server folder, taken for running.
class ServerPrograms {
public:
    // Opens each of `names` in serverDir sharing only reading (nobody may
    // write, rename or delete it while it is held), checks that only the
    // administrators could have written the folder and all in it, then
    // gives the folder its security (ProtectServerFolder). Raises
    // platform::Error saying why when a program cannot be opened or the
    // folder is not trusted (it is then left as it was), or when the
    // folder's security cannot be set.
    void Take(Installation& run, std::initializer_list<const wchar_t*> names);

private:
    std::vector<platform::UniqueKernelHandle> held_;
};

// Creates serverDir when missing (its parents too) and gives it, and all in
// it, platform::Protection::kUsersReadExecute; a link there is refused.
// Raises platform::Error saying why it could not. Done once per run and
// folder (run.state.m_ProtectedDir): a folder of many files is walked only once.
void ProtectServerFolder(Installation& run);

}  // namespace engine
