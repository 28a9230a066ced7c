// A server folder that the installer did not fill in this run, before it
// runs or registers one of its programs elevated: the folder must be known
// to be a server's (a registered instance's program lies in it), and the
// programs must belong to an owner no standard user can be. Their owner is
// read before the folder is made administrators' only, which makes
// Administrators the owner of everything in it; until they have run they
// are held open so that nobody can replace them in between.
#pragma once

#include <initializer_list>
#include <vector>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "platform/UniqueHandle.h"

namespace engine {

// True when m_szFBDir holds a server and is known to be a server folder. A
// server there that is not known is logged with why; nothing of it runs.
bool IsKnownServer(const Installation& run, InstallerUi& ui);

// Programs of a known server folder, taken for running.
class ServerPrograms {
public:
    // Opens each of `names` in m_szFBDir sharing only reading (nobody may
    // write, rename or delete it while it is held), checks its owner, then
    // gives the folder its security (ProtectServerFolder). Raises
    // platform::Error saying why when a program cannot be opened or has an
    // owner a standard user can be (the folder is then left as it was), or
    // when the folder's security cannot be set.
    void Take(Installation& run, std::initializer_list<const wchar_t*> names);

private:
    std::vector<platform::UniqueKernelHandle> held_;
};

// Creates m_szFBDir when missing (its parents too) and gives it, and all in
// it, platform::Protection::kUsersReadExecute; a link there is refused.
// Raises platform::Error saying why it could not. Done once per run and
// folder (run.state.m_ProtectedDir): a folder of many files is walked only once.
void ProtectServerFolder(Installation& run);

}  // namespace engine
