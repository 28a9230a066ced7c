#include "engine/ServerFolder.h"

#include "engine/Messages.h"
#include "engine/Steps.h"
#include "environment/Folders.h"
#include "platform/Errors.h"
#include "platform/Security.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

constexpr wchar_t kPathNotSecured[] =
    L"Priečinky na ceste k serveru sa nepodarilo zabezpečiť proti premenovaniu: ";

}  // namespace

bool IsKnownServer(const Installation& run, InstallerUi& ui) {
    const environment::ServerFolderCheck check = environment::CheckServerFolder(run.serverDir);
    if (check.trust == environment::ServerFolderTrust::kUnknown) ui.Log(check.reason);
    return check.trust == environment::ServerFolderTrust::kKnown;
}

std::wstring FindingText(const platform::Untrusted& found) {
    switch (found.kind) {
        case platform::Untrusted::kNone: break;
        case platform::Untrusted::kOpen: return Fill(kEntryOpen, {found.path});
        case platform::Untrusted::kLink: return Fill(kEntryLink, {found.path});
        case platform::Untrusted::kSecondName: return Fill(kEntrySecondName, {found.path});
        case platform::Untrusted::kUnreadable: return Fill(kEntryUnreadable, {found.path});
    }
    return L"";
}

FolderTrust JudgeServerFolder(const Installation& run) {
    FolderTrust trust;
    // An unknown server was logged as such when the run started.
    trust.known = environment::CheckServerFolder(run.serverDir).trust ==
                  environment::ServerFolderTrust::kKnown;
    if (const platform::Untrusted found = platform::FindUntrusted(run.serverDir)) {
        trust.trusted = false;
        trust.finding = FindingText(found);
    }
    return trust;
}

std::wstring PathProblemText(const platform::HeldPath::Problem& problem) {
    using Problem = platform::HeldPath::Problem;
    switch (problem.kind) {
        case Problem::kNone: break;
        case Problem::kLink: return Fill(kPathLink, {problem.folder});
        case Problem::kForeignOwner: return Fill(kPathForeignOwner, {problem.folder});
        case Problem::kUnreadable:
            return Fill(kPathUnreadable, {problem.folder, platform::SystemErrorText(problem.error)});
    }
    return L"";
}

void HoldServerPath(Installation& run) {
    if (const platform::HeldPath::Problem problem = run.state.m_ServerPath.Hold(run.serverDir))
        throw platform::Error(PathProblemText(problem));
}

void SecurePathAbove(Installation& run, InstallerUi& ui) {
    try {
        for (const std::wstring& folder : run.state.m_ServerPath.DenyDeleteAbove())
            ui.Log(Fill(kDeniedDelete, {folder}));
    } catch (const platform::Error& e) {
        ui.ReportError(kPathNotSecured + e.Message());
    }
}

void ServerPrograms::Take(Installation& run, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        const std::wstring program = run.serverDir + name;
        platform::UniqueKernelHandle held =
            platform::OpenEntry(program, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (!held)
            throw platform::Error(L"Program " + program + L" sa nedá otvoriť: " +
                                  platform::SystemErrorText(GetLastError()));
        held_.push_back(std::move(held));
    }
    // The programs, the libraries they load beside them and the folder: a
    // user who could write any of them could run code as this installer.
    if (const platform::Untrusted found = platform::FindUntrusted(run.serverDir))
        throw platform::Error(Fill(kForeignPrograms, {run.serverDir, FindingText(found)}));
    ProtectServerFolder(run);
}

void ProtectServerFolder(Installation& run) {
    // Once it is administrators' only, no one else can add to it or put
    // another folder in its place: walking it again would change nothing.
    if (run.state.m_ProtectedDir == run.serverDir) return;
    if (!platform::CreateProtectedFolder(run.serverDir, platform::Protection::kUsersReadExecute))
        throw platform::Error(L"Priečinku " + run.serverDir + L" sa nedajú nastaviť práva: " +
                              platform::SystemErrorText(GetLastError()));
    run.state.m_ProtectedDir = run.serverDir;
}

}  // namespace engine
