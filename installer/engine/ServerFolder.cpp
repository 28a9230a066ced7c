#include "engine/ServerFolder.h"

#include <set>

#include "engine/FilePolicy.h"
#include "engine/Installation.h"
#include "engine/Messages.h"
#include "environment/Folders.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;
using platform::Untrusted;

constexpr wchar_t kPathNotSecured[] =
    L"Priečinky na ceste k serveru sa nepodarilo zabezpečiť proti premenovaniu: ";

// The kit's files an upgrade replaces, folded: neither programs nor
// libraries, nor files it keeps (the administrator's) or carries over.
std::set<std::wstring> ReplacedFiles(const archive::ArchiveSurvey* kit) {
    std::set<std::wstring> replaced;
    if (!kit) return replaced;
    for (const std::wstring& file : kit->files)
        if (!IsAdministratorsFile(file) && !IsProgramFile(file) &&
            !platform::SameName(file, outside::kServerConf))
            replaced.insert(platform::FoldedName(file));
    return replaced;
}

// One entry's standing: a finding that makes the folder untrusted, or the
// protection a trusted entry still needs (a database others may read).
Untrusted JudgeOne(const platform::TreeEntry& entry, const std::wstring& path,
                   const std::set<std::wstring>& replaced, std::vector<EntryProtection>& toProtect) {
    if (!entry.IsLink() && !entry.IsFolder() && replaced.count(platform::FoldedName(entry.relative)))
        return {};
    platform::UniqueLocalMemory sd;
    if (Untrusted found = platform::JudgeTreeEntry(entry, path, &sd)) return found;
    const bool database = !entry.IsFolder() && IsDatabaseFile(entry.name);
    if (const auto needed = platform::NeededProtection(database, sd.get()))
        toProtect.push_back({entry.relative, *needed});
    return {};
}

}  // namespace

bool IsKnownServer(const Installation& run, InstallerUi& ui) {
    const environment::ServerFolderCheck check = environment::CheckServerFolder(run.serverDir);
    if (check.trust == environment::ServerFolderTrust::kUnknown) ui.Log(check.reason);
    return check.trust == environment::ServerFolderTrust::kKnown;
}

bool IsKnownServer(const Installation& run) {
    return environment::CheckServerFolder(run.serverDir).trust ==
           environment::ServerFolderTrust::kKnown;
}

std::wstring FindingText(const Untrusted& found) {
    switch (found.kind) {
        case Untrusted::kNone: break;
        case Untrusted::kOpen: return Fill(kEntryOpen, {found.path});
        case Untrusted::kLink: return Fill(kEntryLink, {found.path});
        case Untrusted::kUnreadable: return Fill(kEntryUnreadable, {found.path});
    }
    return L"";
}

namespace {

// JudgeServerFolder without asking the service manager whether the folder
// is a known server's.
FolderTrust JudgeContent(Installation& run, const archive::ArchiveSurvey* kit) {
    FolderTrust trust;
    const HANDLE folder = run.state.serverPath.Last();
    if (!folder) return trust;
    if (run.state.trustedDir == run.serverDir) {
        trust.toProtect = run.state.toProtect;
        return trust;
    }
    const std::wstring path = run.serverDir.substr(0, run.serverDir.size() - 1);
    Untrusted found = platform::JudgeEntry(folder, path);
    const std::set<std::wstring> replaced = ReplacedFiles(kit);
    if (!found)
        platform::WalkTree(folder, [&](const platform::TreeEntry& entry) {
            found = JudgeOne(entry, run.serverDir + entry.relative, replaced, trust.toProtect);
            return found ? platform::WalkStep::kStop : platform::WalkStep::kGoOn;
        });
    if (found) {
        trust.trusted = false;
        trust.finding = FindingText(found);
        trust.toProtect.clear();
        return trust;
    }
    run.state.trustedDir = run.serverDir;
    run.state.toProtect = trust.toProtect;
    return trust;
}

}  // namespace

FolderTrust JudgeServerFolder(Installation& run, const archive::ArchiveSurvey* kit) {
    FolderTrust trust = JudgeContent(run, kit);
    // An unknown server was logged as such when the run started.
    trust.known = IsKnownServer(run);
    return trust;
}

std::wstring PathProblemText(const platform::HeldPath::Problem& problem) {
    using Problem = platform::HeldPath::Problem;
    switch (problem.kind) {
        case Problem::kNone: break;
        case Problem::kLink: return Fill(kPathLink, {problem.folder});
        case Problem::kForeignOwner: return Fill(kPathForeignOwner, {problem.folder});
        case Problem::kAppeared: return Fill(kPathAppeared, {problem.folder});
        case Problem::kParentOpen: return Fill(kPathParentOpen, {problem.folder});
        case Problem::kUnreadable:
            return Fill(kPathUnreadable, {problem.folder, platform::SystemErrorText(problem.error)});
    }
    return L"";
}

void HoldServerPath(Installation& run, bool make) {
    platform::HeldPath& way = run.state.serverPath;
    if (way.Last() && platform::SameName(way.Folder(), run.serverDir)) return;
    platform::HeldPath::BeforeMaking making;
    if (make)
        making = [&run](const std::wstring& folder, bool last) {
            run.state.transaction.MakingFolder(folder, last);
        };
    run.state.trustedDir.clear();
    if (const platform::HeldPath::Problem problem = way.Hold(run.serverDir, making))
        throw platform::Error(PathProblemText(problem));
}

void SecurePathAbove(Installation& run, InstallerUi& ui) {
    try {
        for (const std::wstring& folder : run.state.serverPath.SecureAbove())
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
    const FolderTrust trust = JudgeContent(run, nullptr);
    if (!trust.trusted) throw platform::Error(Fill(kForeignPrograms, {run.serverDir, trust.finding}));
    ProtectEntries(run, trust.toProtect);
}

void ProtectEntries(Installation& run, const std::vector<EntryProtection>& entries) {
    for (const EntryProtection& entry : entries) {
        const std::wstring path = run.serverDir + entry.relative;
        const std::wstring failed = L"Súboru " + path + L" sa nedajú nastaviť práva: ";
        platform::UniqueKernelHandle handle =
            platform::OpenEntry(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER, platform::kAnySharing,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
        if (!handle) {
            if (GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED) continue;
            throw platform::Error(failed + platform::SystemErrorText(GetLastError()));
        }
        // Its rights are those of its other name too, wherever that lies.
        if (platform::NameCount(handle.get()) > 1) continue;
        BY_HANDLE_FILE_INFORMATION info{};
        GetFileInformationByHandle(handle.get(), &info);
        try {
            platform::ProtectEntry(handle.get(), entry.protection,
                                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        } catch (const platform::Error& e) {
            throw platform::Error(failed + e.Message());
        }
    }
}

}  // namespace engine
