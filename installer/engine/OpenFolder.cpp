#include "engine/OpenFolder.h"

#include <set>

#include "engine/FilePolicy.h"
#include "engine/Messages.h"
#include "engine/Transaction.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

// The office's data in the open folder (IsKeptFromOpenFolder), its bytes:
// what the upgrade copies into the new folder. A folder link inside
// raises: nothing is read through it.
uint64_t OfficeDataBytes(HANDLE folder, const std::wstring& serverDir) {
    uint64_t bytes = 0;
    platform::WalkTree(folder, [&](const platform::TreeEntry& entry) {
        if (entry.IsFolder() && entry.IsLink())
            throw platform::Error(Fill(
                kLinkInside, {FindingText({platform::Untrusted::kLink, serverDir + entry.relative})}));
        if (!entry.IsFolder() && !entry.IsLink() && IsKeptFromOpenFolder(entry.relative))
            bytes += entry.size;
        return platform::WalkStep::kGoOn;
    });
    return bytes;
}

// Copies the open file into a new file at `target`, its bytes and times,
// flushed. A database gets rights of its own from the start: nobody else
// ever reads it.
void CopyInto(HANDLE source, const std::wstring& target, bool database) {
    platform::CreateFolders(target.substr(0, target.find_last_of(L'\\') + 1));
    const platform::Descriptor sd(platform::ProtectedSddl(
        database ? platform::Protection::kAdministratorsOnly : platform::Protection::kUsersReadExecute,
        /*container=*/false));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd.get(), FALSE};
    platform::UniqueKernelHandle copy(CreateFileW(target.c_str(), GENERIC_WRITE, 0, &attributes,
                                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) platform::ThrowLastError();
    std::vector<char> buffer(1 << 20);
    for (DWORD got = 0;;) {
        if (!ReadFile(source, buffer.data(), DWORD(buffer.size()), &got, nullptr))
            platform::ThrowLastError();
        if (got == 0) break;
        DWORD written = 0;
        if (!WriteFile(copy.get(), buffer.data(), got, &written, nullptr) || written != got)
            platform::ThrowLastError();
    }
    FILETIME created{}, accessed{}, modified{};
    if (GetFileTime(source, &created, &accessed, &modified))
        SetFileTime(copy.get(), &created, &accessed, &modified);
    if (!FlushFileBuffers(copy.get())) platform::ThrowLastError();
}

}  // namespace

std::wstring Megabytes(uint64_t bytes) {
    return std::to_wstring((bytes + (1u << 20) - 1) >> 20);
}

// Free bytes on the drive that will hold the folder (its nearest existing
// folder); the maximum when it cannot be told.
uint64_t FreeBytesFor(std::wstring folder) {
    ULARGE_INTEGER free{};
    while (!folder.empty()) {
        if (GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr)) return free.QuadPart;
        const size_t slash = folder.find_last_of(L'\\', folder.size() - 2);
        if (slash == std::wstring::npos) break;
        folder.resize(slash + 1);
    }
    return UINT64_MAX;
}

OpenFolderUpgrade::OpenFolderUpgrade(Installation& run, InstallerUi& ui, const FolderTrust& trust,
                                     const archive::ArchiveSurvey& kit)
    : run_(run), ui_(ui), kit_(kit) {
    if (!trust.known) throw platform::Error(Fill(kForeignFolder, {run_.serverDir, trust.finding}));
    const uint64_t bytes =
        kit.totalBytes + OfficeDataBytes(run_.state.serverPath.Last(), run_.serverDir);
    const uint64_t free = FreeBytesFor(run_.serverDir);
    if (free < bytes) throw platform::Error(Fill(kNoRoomForData, {Megabytes(bytes), Megabytes(free)}));
    note_ = Fill(kFolderWasOpen, {run_.serverDir, trust.finding});
}

std::wstring OpenFolderUpgrade::AsidePath() const {
    return run_.serverDir.substr(0, run_.serverDir.size() - 1) + kAsideSuffix;
}

KeptFiles OpenFolderUpgrade::TakeOfficeData() {
    platform::HeldPath& way = run_.state.serverPath;
    Transaction& tx = run_.state.transaction;
    tx.SettingAsideFolder(run_.serverDir);
    const std::wstring aside = AsidePath();
    const auto making = [&tx](const std::wstring& folder, bool last) { tx.MakingFolder(folder, last); };
    if (const platform::HeldPath::Problem problem = way.SetAsideLast(aside, making))
        throw platform::Error(problem.kind == platform::HeldPath::Problem::kUnreadable
                                  ? Fill(kCannotSetAside, {run_.serverDir,
                                                           platform::SystemErrorText(problem.error)})
                                  : PathProblemText(problem));
    // The run's own from now on, with nothing in it to protect.
    run_.state.trustedDir = run_.serverDir;
    run_.state.toProtect.clear();
    std::set<std::wstring> copied;
    platform::WalkTree(way.Aside(), [&](const platform::TreeEntry& entry) {
        if (!entry.IsFolder() && !entry.IsLink() && IsKeptFromOpenFolder(entry.relative) &&
            CopyOfficeFile(entry, aside + L"\\" + entry.relative))
            copied.insert(platform::FoldedName(entry.relative));
        return platform::WalkStep::kGoOn;
    });
    KeptFiles kept;
    for (size_t i = 0; i < kit_.files.size(); ++i)
        if (copied.count(platform::FoldedName(kit_.files[i]))) {
            kept.files.push_back(kit_.files[i]);
            kept.bytes += kit_.fileBytes[i];
        }
    return kept;
}

// One file of the office's data, read alone: a program that holds it (a
// user's handle opened while the folder was open, say) stops the upgrade. A
// file with a further name is not taken: that name may be any file of the
// drive a user could name. True when copied.
bool OpenFolderUpgrade::CopyOfficeFile(const platform::TreeEntry& entry, const std::wstring& shown) {
    platform::UniqueKernelHandle source =
        platform::OpenIn(entry.parent, entry.name, GENERIC_READ, FILE_SHARE_READ);
    if (!source) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            throw platform::Error(Fill(kKeptFileHeld, {shown}));
        throw platform::Error(L"Súbor " + shown + L" sa nedá prečítať: " +
                              platform::SystemErrorText(GetLastError()));
    }
    if (platform::NameCount(source.get()) > 1) {
        ui_.Log(Fill(kNotCarriedSecondName, {shown}));
        return false;
    }
    CopyInto(source.get(), run_.serverDir + entry.relative, IsDatabaseFile(entry.name));
    return true;
}

std::optional<std::wstring> OpenFolderUpgrade::HeldFile() const {
    std::optional<std::wstring> held;
    platform::WalkTree(run_.state.serverPath.Last(), [&](const platform::TreeEntry& entry) {
        if (entry.IsFolder() || entry.IsLink() || !IsKeptFromOpenFolder(entry.relative))
            return platform::WalkStep::kGoOn;
        // Opened as the copy opens it.
        if (platform::OpenIn(entry.parent, entry.name, GENERIC_READ, FILE_SHARE_READ) ||
            GetLastError() != ERROR_SHARING_VIOLATION)
            return platform::WalkStep::kGoOn;
        held = Fill(kKeptFileHeld, {run_.serverDir + entry.relative});
        return platform::WalkStep::kStop;
    });
    return held;
}

void OpenFolderUpgrade::Report() const {
    ui_.Log(note_);
    if (platform::EntryExists(AsidePath())) ui_.Log(Fill(kAsideLeft, {AsidePath()}));
}

}  // namespace engine
