#include "engine/ServerFolder.h"

#include "engine/Steps.h"
#include "environment/Folders.h"
#include "platform/Errors.h"
#include "platform/Security.h"

namespace engine {

namespace {

constexpr wchar_t kForeignOwner[] =
    L" sa nespustí: jeho vlastníkom nie je skupina Administrators, SYSTEM ani TrustedInstaller, "
    L"takže ho mohol podvrhnúť iný používateľ.";

}  // namespace

bool IsKnownServer(const Installation& run, InstallerUi& ui) {
    const environment::ServerFolderCheck check = environment::CheckServerFolder(run.m_szFBDir);
    if (check.trust == environment::ServerFolderTrust::kUnknown) ui.Log(check.reason);
    return check.trust == environment::ServerFolderTrust::kKnown;
}

void ServerPrograms::Take(Installation& run, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        const std::wstring program = run.m_szFBDir + name;
        platform::UniqueKernelHandle held =
            platform::OpenEntry(program, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (!held)
            throw platform::Error(L"Program " + program + L" sa nedá otvoriť: " +
                                  platform::SystemErrorText(GetLastError()));
        if (!platform::HasTrustedOwner(program))
            throw platform::Error(L"Program " + program + kForeignOwner);
        held_.push_back(std::move(held));
    }
    ProtectServerFolder(run);
}

void ProtectServerFolder(Installation& run) {
    // Once it is administrators' only, no one else can add to it or put
    // another folder in its place: walking it again would change nothing.
    if (run.state.m_ProtectedDir == run.m_szFBDir) return;
    if (!platform::CreateProtectedFolder(run.m_szFBDir, platform::Protection::kUsersReadExecute))
        throw platform::Error(L"Priečinku " + run.m_szFBDir + L" sa nedajú nastaviť práva: " +
                              platform::SystemErrorText(GetLastError()));
    run.state.m_ProtectedDir = run.m_szFBDir;
}

}  // namespace engine
