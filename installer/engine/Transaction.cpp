#include "engine/Transaction.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <thread>

#include "engine/InstanceName.h"
#include "engine/JournalSteps.h"
#include "engine/ServerFolder.h"
#include "engine/ServiceRecords.h"
#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace engine {

namespace {

using namespace journal;

constexpr wchar_t kCopyPart[] = L".~istrel-copy";
constexpr wchar_t kEarlierBlocked[] =
    L"Predchádzajúcu prerušenú inštaláciu nie je možné dokončiť ani vrátiť späť, kým sa "
    L"nenapraví toto: ";

constexpr wchar_t kInstall[] = L"install", kReconfigure[] = L"reconfigure", kRemove[] = L"remove";

JournalRecord RunRecord(const DeploymentHeader& h) {
    JournalRecord r{kRun.name, std::vector<std::wstring>(RunField::kCount)};
    r.fields[RunField::kHow] = h.removesServer ? kRemove : h.installsServer ? kInstall : kReconfigure;
    r.fields[RunField::kAppDir] = h.appDir;
    r.fields[RunField::kServerDir] = h.serverDir;
    r.fields[RunField::kPort] = h.port.Text();
    r.fields[RunField::kMode] = h.modeCode;
    r.fields[RunField::kInstallerDir] = h.installerDir;
    return r;
}

// The header the run record keeps (checked when it was read: its port is one).
DeploymentHeader HeaderOf(const std::vector<JournalRecord>& records) {
    DeploymentHeader header;
    for (const JournalRecord& r : records) {
        if (r.kind != kRun.name) continue;
        header.installsServer = r.Field(RunField::kHow) == kInstall;
        header.removesServer = r.Field(RunField::kHow) == kRemove;
        header.appDir = r.Field(RunField::kAppDir);
        header.serverDir = r.Field(RunField::kServerDir);
        header.port = environment::Port::Parse(r.Field(RunField::kPort)).value_or(header.port);
        header.modeCode = r.Field(RunField::kMode);
        header.installerDir = r.Field(RunField::kInstallerDir);
    }
    return header;
}

// The folders below (and including) serverDir that the kit's files and
// folders need, parents first.
std::vector<std::wstring> NeededFolders(const std::wstring& serverDir,
                                        const archive::ArchiveSurvey& kit) {
    std::vector<std::wstring> ordered;
    std::set<std::wstring> seen;
    auto add = [&](const std::wstring& folder) {
        for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
             at = folder.find(L'\\', at + 1)) {
            std::wstring part = folder.substr(0, at);
            if (seen.insert(part).second) ordered.push_back(part);
        }
    };
    add(serverDir);
    for (const std::wstring& folder : kit.folders) add(serverDir + folder + L'\\');
    for (const std::wstring& file : kit.files) add(serverDir + file.substr(0, file.rfind(L'\\') + 1));
    return ordered;
}

// The instances, by name, that ran when they were removed and do not run
// now that they are back.
std::vector<std::wstring> NotRunningAgain(const std::vector<JournalRecord>& records) {
    std::vector<std::wstring> instances;
    for (const JournalRecord& r : records) {
        if (r.kind != kRemoved.name) continue;
        const environment::ServiceRecord service = ServiceFromJournal(r);
        if (service.running && environment::GetServiceState(service.name) != SERVICE_RUNNING)
            instances.push_back(InstanceText(service.name));
    }
    return instances;
}

// Undoes the records in reverse; a journal that an undo step failed for
// stays, held, for the next start.
SettleResult Undo(Journal& journal, const std::vector<JournalRecord>& records,
                  platform::HeldPath& way) {
    SettleResult result;
    result.outcome = Settled::kRolledBack;
    result.hadPreviousServer =
        Recorded(records, kRemoved) || Recorded(records, kAside) ||
        std::any_of(records.begin(), records.end(), [](const JournalRecord& r) {
            const std::wstring& path = r.Field(kSubject);
            return (r.kind == kMoved.name || r.kind == kStashed.name || r.kind == kCopy.name) &&
                   platform::SameName(path.substr(path.find_last_of(L'\\') + 1), outside::kServerExe);
        });
    // In the exact reverse of the changes: the old instance starts again
    // only after everything changed since its removal is back, its
    // firebird.conf included.
    bool whole = true;
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        whole = StepOf(*r).undo(*r, way) && whole;
    DeleteTemporaries(records);
    result.notRunning = NotRunningAgain(records);
    if (!whole) {
        journal.Hold();
        result.outcome = Settled::kIncomplete;
        return result;
    }
    journal.Remove();
    return result;
}

// Every entry below the folder, relative and folded; none when it is missing.
std::set<std::wstring> EntriesBelow(const std::wstring& folder) {
    std::set<std::wstring> entries;
    const platform::UniqueKernelHandle root = platform::OpenFolder(folder.substr(0, folder.size() - 1));
    if (!root) return entries;
    platform::WalkTree(root.get(), [&](const platform::TreeEntry& entry) {
        entries.insert(platform::FoldedName(entry.relative));
        return platform::WalkStep::kGoOn;
    });
    return entries;
}

// A file moved aside: from where, to where.
struct Move {
    std::wstring from, to;
};

// Why the moves from `first` on, every `step`-th, could not all be made;
// nothing when they were.
std::optional<std::wstring> MoveEveryOther(const std::vector<Move>& moves, size_t first, size_t step) {
    for (size_t i = first; i < moves.size(); i += step)
        if (!MoveFileExW(moves[i].from.c_str(), moves[i].to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return L"Súbor " + moves[i].from + L" sa nedá presunúť: " +
                   platform::SystemErrorText(GetLastError());
    return std::nullopt;
}

// Moved on two threads: a rename is mostly the file system's work on the
// caller's side, and the server is down meanwhile.
void MoveAside(const std::vector<Move>& moves) {
    std::optional<std::wstring> second;
    std::thread other([&] { second = MoveEveryOther(moves, 1, 2); });
    const std::optional<std::wstring> first = MoveEveryOther(moves, 0, 2);
    other.join();
    if (first || second) throw platform::Error(first ? *first : *second);
}

std::vector<Move> BesideThemselves(const std::vector<std::wstring>& paths) {
    std::vector<Move> moves;
    for (const std::wstring& path : paths) moves.push_back({path, path + kAsideSuffix});
    return moves;
}

// The stash's record, before the first file moved into it. The stash is
// made by this run alone: one left over would hold what no record names.
void PlanStash(const std::wstring& stash, std::vector<JournalRecord>& plan) {
    if (platform::EntryExists(stash))
        throw platform::Error(L"Priečinok " + stash + L" už existuje; odstráňte ho a spustite "
                              L"inštaláciu znova.");
    plan.insert(std::find_if(plan.begin(), plan.end(),
                             [](const JournalRecord& r) { return r.kind == kStashed.name; }),
                JournalRecord{kStash.name, {stash}});
}

// The stash and the folders in it that the moves into it need, parents first.
void MakeStash(const std::wstring& stash, const std::vector<Move>& moves) {
    if (!CreateDirectoryW(stash.c_str(), nullptr))
        throw platform::Error(L"Priečinok " + stash + L" sa nedá vytvoriť: " +
                              platform::SystemErrorText(GetLastError()));
    std::set<std::wstring> made;
    for (const Move& move : moves)
        for (size_t at = move.to.find(L'\\', stash.size() + 1); at != std::wstring::npos;
             at = move.to.find(L'\\', at + 1))
            if (made.insert(move.to.substr(0, at)).second &&
                !CreateDirectoryW(move.to.substr(0, at).c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                throw platform::Error(L"Priečinok " + move.to.substr(0, at) +
                                      L" sa nedá vytvoriť: " + platform::SystemErrorText(GetLastError()));
}

}  // namespace

bool Recorded(const std::vector<JournalRecord>& records, const Kind& kind) {
    return std::any_of(records.begin(), records.end(),
                       [&](const JournalRecord& r) { return r.kind == kind.name; });
}

void Transaction::RecordMarker(const std::wstring& appDir, const std::wstring& path) {
    journal_.Append(JournalRecord{kMarker.name, {appDir, path}});
}

void Transaction::Begin(const DeploymentHeader& header) {
    journal_.Append(RunRecord(header));
}

void Transaction::RemovingService(const std::wstring& serviceName) {
    if (std::optional<environment::ServiceRecord> service =
            environment::ReadServiceRecord(serviceName))
        journal_.Append(ToJournal(*service, kRemoved.name));
}

void Transaction::RegisteringService(const std::wstring& serviceName) {
    journal_.Append(JournalRecord{kRegistered.name, {serviceName}});
}

void Transaction::MakingFolder(const std::wstring& folder, bool last) {
    journal_.Append(JournalRecord{last ? kFolder.name : kParent.name, {folder}});
}

void Transaction::SettingAsideFolder(const std::wstring& serverDir) {
    journal_.Append(JournalRecord{kAside.name, {serverDir.substr(0, serverDir.size() - 1)}});
}

void Transaction::PrepareFolder(const std::wstring& serverDir, const archive::ArchiveSurvey& kit,
                                const std::vector<std::wstring>& kept) {
    std::vector<JournalRecord> plan;
    const size_t serverFolder = serverDir.size() - 1;  // without its "\\"
    // What the folder holds, listed once: looking for each of the kit's
    // entries by its name would ask the file system hundreds of times.
    const std::set<std::wstring> present = EntriesBelow(serverDir);
    const auto there = [&](const std::wstring& path) {
        return path.size() > serverFolder + 1
                   ? present.count(platform::FoldedName(path.substr(serverFolder + 1))) != 0
                   : platform::EntryExists(path);
    };
    for (const std::wstring& folder : NeededFolders(serverDir, kit))
        if (!there(folder))
            plan.push_back({folder.size() < serverFolder ? kParent.name : kFolder.name, {folder}});
    std::set<std::wstring> keep;
    for (const std::wstring& file : kept) keep.insert(platform::FoldedName(file));
    // What the kit replaces moves into a folder of its own, not beside the
    // new files: a folder twice as full makes every new file's creation
    // look through twice as many names.
    const std::wstring stash = serverDir + kStashName;
    std::vector<Move> replaced;
    const auto stashed = [&](const std::wstring& file) {
        replaced.push_back({serverDir + file, stash + L'\\' + file});
        plan.push_back({kStashed.name, {replaced.back().from, replaced.back().to}});
    };
    for (const std::wstring& file : kit.files) {
        if (keep.count(platform::FoldedName(file))) continue;
        if (there(serverDir + file)) stashed(file);
        else plan.push_back({kAdded.name, {serverDir + file}});
    }
    if (!replaced.empty()) PlanStash(stash, plan);
    journal_.Append(plan);
    if (replaced.empty()) return;
    MakeStash(stash, replaced);
    MoveAside(replaced);
}

void Transaction::SettingAside(const std::vector<std::wstring>& paths) {
    std::vector<JournalRecord> plan;
    for (const std::wstring& path : paths) plan.push_back({kMoved.name, {path}});
    journal_.Append(plan);
    MoveAside(BesideThemselves(paths));
}

std::optional<std::wstring> Transaction::AsideOf(const std::wstring& path) const {
    for (const JournalRecord& r : journal_.Written()) {
        if (!platform::SameName(r.Field(kSubject), path)) continue;
        if (r.kind == kMoved.name) return path + kAsideSuffix;
        if (r.kind == kStashed.name) return r.Field(StashedField::kStashed);
    }
    return std::nullopt;
}

void Transaction::SavingCopy(const std::wstring& path) {
    journal_.Append(JournalRecord{kCopy.name, {path}});
    const std::wstring part = path + kCopyPart, aside = path + kAsideSuffix;
    // Whole or not at all: an aside copy that exists is complete.
    if (!CopyFileW(path.c_str(), part.c_str(), FALSE)) platform::ThrowLastError();
    {
        platform::UniqueKernelHandle copy(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
        if (!copy || !FlushFileBuffers(copy.get())) platform::ThrowLastError();
    }
    if (!MoveFileExW(part.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        platform::ThrowLastError();
}

void Transaction::PutBackPrevious(const std::wstring& path) {
    if (const std::optional<std::wstring> aside = AsideOf(path)) MoveBack(*aside, path);
}

void Transaction::Commit() {
    journal_.Append(JournalRecord{kCommitted.name, {}});
    const std::vector<JournalRecord> records = journal_.Written();
    for (const JournalRecord& r : records)
        if (const Step& step = StepOf(r); step.atCommit && !step.behind) step.settle(r, way_);
    // The files set aside go beside the run's last steps: nothing after the
    // commit reads them, and a run cut short meanwhile settles what is left.
    settling_ = std::thread([records, &way = way_] {
        for (const JournalRecord& r : records)
            if (const Step& step = StepOf(r); step.atCommit && step.behind) step.settle(r, way);
        DeleteTemporaries(records);
    });
}

void Transaction::Settle() {
    if (settling_.joinable()) settling_.join();
}

bool Transaction::Committed() const {
    return Recorded(journal_.Written(), kCommitted);
}

void Transaction::RecordDone(const Kind& step) {
    journal_.Append(JournalRecord{step.name, {}});
}

void Transaction::Finish() {
    Settle();
    journal_.Append(JournalRecord{kDone.name, {}});
}

SettleResult RollBack(Journal& journal, platform::HeldPath& way) {
    // Only what this run wrote; an earlier run's journal is the start's.
    const std::vector<JournalRecord> records = journal.Written();
    if (records.empty()) return {Settled::kRolledBack, false, {}, {}};
    return Undo(journal, records, way);
}

SettleResult SettleJournal(Journal& journal, const Completion& complete) {
    const Journal::Loaded loaded = journal.Load();
    if (loaded.outcome == Journal::Loaded::kNone) return {};
    if (loaded.outcome == Journal::Loaded::kRefused) return {Settled::kRefused, false, loaded.why, {}};
    const std::vector<JournalRecord>& records = loaded.records;
    // Reached through the way the changes were made, checked and held
    // again: a folder on it that has become a link since is not walked.
    platform::HeldPath way;
    if (Recorded(records, kRun))
        if (const platform::HeldPath::Problem problem = way.Hold(HeaderOf(records).serverDir)) {
            journal.Hold();
            return {Settled::kRefused, false, kEarlierBlocked + PathProblemText(problem), {}};
        }
    if (!Recorded(records, kCommitted)) {
        if (Recorded(records, kRun)) return Undo(journal, records, way);
        for (const JournalRecord& r : records)
            if (r.kind == kMarker.name) StepOf(r).undo(r, way);
        journal.Remove();
        return {};
    }
    SettleResult result;
    // A registered instance that does not run again is named: the run that
    // made it committed, so it stays, and the settlement tells what to do.
    for (const JournalRecord& r : records)
        if (!StepOf(r).settle(r, way) && r.kind == kRegistered.name)
            result.notRunning.push_back(InstanceText(r.Field(kSubject)));
    DeleteTemporaries(records);
    if (!Recorded(records, kDone)) {
        complete(HeaderOf(records), records);
        result.outcome = Settled::kCompleted;
    }
    journal.Remove();
    return result;
}

}  // namespace engine
