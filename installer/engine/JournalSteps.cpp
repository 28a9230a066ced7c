// What undoes and what settles each kind of change the journal records.
#include "engine/JournalSteps.h"

#include <windows.h>

#include <iterator>
#include <map>
#include <set>

#include "engine/ServiceRecords.h"
#include "engine/Transaction.h"
#include "environment/Services.h"
#include "environment/SharedFolder.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"

namespace engine {

using namespace journal;

namespace {

// A file gone (or never there) counts as deleted; a read-only one is
// deleted too.
bool Delete(const std::wstring& path) {
    if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) || !platform::EntryExists(path);
}

// Markers lie in the application's folder, which users write: one that has
// become a link stays as it is, and counts as settled.
bool DeleteMarker(const std::wstring& path) {
    return environment::DeleteSharedFile(path) != environment::SharedChange::kFailed;
}

}  // namespace

bool MoveBack(const std::wstring& aside, const std::wstring& path) {
    if (!platform::EntryExists(aside)) return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

namespace {

// The file moved aside beside itself (path + kAsideSuffix) back to `path`.
bool PutBack(const std::wstring& path) {
    return MoveBack(path + kAsideSuffix, path);
}

// A folder a run made goes with whatever came into it since: the new
// server's own log, say. Nothing in it is older than the run. Through the
// held way when it holds the folder, else opened as itself (never a link)
// under the folders the way holds.
bool RemoveFolder(const std::wstring& path, platform::HeldPath& way) {
    if (way.Holds(path)) return way.RemoveHeld(path, /*whole=*/true);
    platform::UniqueKernelHandle folder = platform::OpenFolder(path, DELETE);
    if (!folder) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return platform::DeleteTreeBelow(folder.get(), path) && platform::MarkForDeletion(folder.get());
}

bool Nothing(const JournalRecord&, platform::HeldPath&) {
    return true;
}

// A folder made above the server folder goes only when it is empty again:
// whatever came into it since is someone else's.
bool RemoveIfEmpty(const JournalRecord& r, platform::HeldPath& way) {
    const std::wstring& path = r.Field(kSubject);
    if (way.Holds(path)) way.RemoveHeld(path, /*whole=*/false);
    else RemoveDirectoryW(path.c_str());
    return true;
}

// The server folder set aside goes back once the new one has gone (the
// undo of its making comes first, in reverse order): through the handle the
// run holds it by, else by its name under the held folders above it.
bool PutBackFolder(const JournalRecord& r, platform::HeldPath& way) {
    const std::wstring& path = r.Field(kSubject);
    const std::wstring aside = path + kAsideSuffix;
    if (way.Aside()) return way.PutAsideBack();
    if (!platform::EntryExists(aside)) return true;
    return MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
}

bool DeleteAsideFolder(const JournalRecord& r, platform::HeldPath& way) {
    if (way.Aside()) return way.RemoveAside();
    const std::wstring aside = r.Field(kSubject) + kAsideSuffix;
    return RemoveFolder(aside, way);
}

// The stash goes once no file is left in it: one that could not be put
// back keeps it, and the journal, for the next try.
bool RemoveStashWhenEmptied(const JournalRecord& r, platform::HeldPath&) {
    const std::wstring& path = r.Field(kSubject);
    platform::UniqueKernelHandle folder = platform::OpenFolder(path, DELETE);
    if (!folder) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    bool holdsFile = false;
    try {
        platform::WalkTree(folder.get(), [&](const platform::TreeEntry& entry) {
            holdsFile = !entry.IsFolder();
            return holdsFile ? platform::WalkStep::kStop : platform::WalkStep::kGoOn;
        });
    } catch (const platform::SystemError&) {
        return false;
    }
    return !holdsFile && platform::DeleteTreeBelow(folder.get(), path) &&
           platform::MarkForDeletion(folder.get());
}

bool Refuse(const JournalRecord&, platform::HeldPath&) {
    return false;
}

using Way = platform::HeldPath;

// One step for every kind, in kKinds' order: what undoes it before the
// commit, and what settles it after. Both may run any number of times.
// The run, the commit, what is done after it and the end leave nothing to
// undo or settle.
constexpr Step kSteps[] = {
    {&kMarker, [](const JournalRecord& r, Way&) { return DeleteMarker(r.Field(MarkerField::kPath)); },
     [](const JournalRecord& r, Way&) { return DeleteMarker(r.Field(MarkerField::kPath)); }},
    {&kRun, Nothing, Nothing},
    {&kRemoved,
     [](const JournalRecord& r, Way&) { return environment::RestoreService(ServiceFromJournal(r)); },
     Nothing},
    {&kRegistered,
     [](const JournalRecord& r, Way&) { return environment::StopAndDeleteService(r.Field(kSubject)); },
     [](const JournalRecord& r, Way&) { return environment::StartAndWait(r.Field(kSubject)); }},
    {&kParent, RemoveIfEmpty, Nothing},
    {&kFolder, [](const JournalRecord& r, Way& way) { return RemoveFolder(r.Field(kSubject), way); },
     Nothing},
    {&kMoved, [](const JournalRecord& r, Way&) { return PutBack(r.Field(kSubject)); },
     [](const JournalRecord& r, Way&) { return Delete(r.Field(kSubject) + kAsideSuffix); }, true,
     true, true},
    {&kAdded, [](const JournalRecord& r, Way&) { return Delete(r.Field(kSubject)); }, Nothing, true,
     true, true},
    {&kCopy, [](const JournalRecord& r, Way&) { return PutBack(r.Field(kSubject)); },
     [](const JournalRecord& r, Way&) { return Delete(r.Field(kSubject) + kAsideSuffix); }, true,
     true, true},
    {&kAside, PutBackFolder, DeleteAsideFolder, false, true},
    {&kStash, RemoveStashWhenEmptied,
     [](const JournalRecord& r, Way& way) { return RemoveFolder(r.Field(kSubject), way); }, false,
     true, true},
    {&kStashed,
     [](const JournalRecord& r, Way&) {
         return MoveBack(r.Field(StashedField::kStashed), r.Field(StashedField::kPath));
     },
     Nothing, true},
    {&kCommitted, Nothing, Nothing},
    {&kFirewall, Nothing, Nothing},
    {&kDone, Nothing, Nothing},
};

constexpr bool EveryKindHasItsStep() {
    if (std::size(kSteps) != std::size(kKinds)) return false;
    for (size_t i = 0; i < std::size(kKinds); ++i)
        if (kSteps[i].kind != kKinds[i]) return false;
    return true;
}
static_assert(EveryKindHasItsStep(), "a kind of record without its step, or out of kKinds' order");

// A kind this side does not know is never read (the journal is refused);
// should one come, it is left for the next start.
constexpr Step kUnknown{nullptr, Refuse, Refuse};

}  // namespace

const Step& StepOf(const JournalRecord& record) {
    for (size_t i = 0; i < std::size(kKinds); ++i)
        if (record.kind == kKinds[i]->name) return kSteps[i];
    return kUnknown;
}

// Half-written files that the archive reader and the configuration writer
// leave beside a target when they are cut short: target + ".~…". One search
// per folder, not per file: each search reads the whole folder. A
// moved-aside file is never taken for one, so a file that could not be put
// back stays for the next try.
void DeleteTemporaries(const std::vector<JournalRecord>& records) {
    std::map<std::wstring, std::set<std::wstring>> targets;  // folder -> folded file names
    for (const JournalRecord& r : records) {
        if (!StepOf(r).file) continue;
        const std::wstring& path = r.Field(kSubject);
        const size_t slash = path.find_last_of(L'\\') + 1;
        targets[path.substr(0, slash)].insert(platform::FoldedName(path.substr(slash)));
    }
    for (const auto& [folder, names] : targets) {
        WIN32_FIND_DATAW found;
        platform::UniqueFindHandle find(FindFirstFileW((folder + L"*.~*").c_str(), &found));
        if (!find) continue;
        do {
            const std::wstring name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.ends_with(kAsideSuffix))
                continue;
            for (size_t at = name.find(L".~"); at != std::wstring::npos; at = name.find(L".~", at + 1)) {
                if (names.count(platform::FoldedName(name.substr(0, at)))) {
                    Delete(folder + name);
                    break;
                }
            }
        } while (FindNextFileW(find.get(), &found));
    }
}

}  // namespace engine
