// The deployment journal's lines and the bounds every record keeps, in
// portable code: the installer writes and reads with it, and the native
// suite and a fuzz target test it without Windows.
//
// A journal is UTF-8 text, one line per record, each ended by a line feed:
//   <CRC-32 as 8 lowercase hex digits> TAB <text>
// The first text is the header "istrel-journal" TAB <version> TAB <run id>
// (32 lowercase hex digits, random for every journal); every other text is
// a kind and its fields, separated by tabs. Each line's CRC-32 covers the
// run id, a tab and the text, so a line is neither damaged unseen nor
// spliced in from another journal.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine {

// One record: a kind and its fields.
struct JournalRecord {
    std::wstring kind;
    std::vector<std::wstring> fields;

    const std::wstring& Field(size_t i) const;  // empty when missing
};

namespace journal {

// What bounds a record beyond the journal's own run record: the legacy
// server's folder (under Program Files), whose instance a run may remove.
struct Limits {
    std::wstring legacyServerDir;
};

// What a record's fields are checked against: the run record before it
// (none yet for a kind that may come first) and the limits.
struct Scope {
    const JournalRecord* run;
    const Limits& limits;
};

// A kind of record: its name, how many fields it has, where it may stand,
// and what those fields must say (nothing, or why not in Slovak). The
// check sees a record whose fields are counted and free of control
// characters.
struct Kind {
    enum Place {
        kAnywhere,  // before the run record too
        kOpening,   // the run record: once, before every kInRun one
        kInRun,
    };
    const wchar_t* name;
    size_t fields;
    Place place;
    std::optional<std::wstring> (*check)(const JournalRecord& record, const Scope& scope);
};

// The field checks the kinds share (JournalFormat.cpp). Every record but a
// marker stays inside what the run record names: files and folders in its
// server folder (folders above it only as such), services the installer's
// own instances, restored ones running a program from that folder or the
// legacy server's as a process of their own. A marker is one of the
// application's two markers in the folder it names.
namespace fields {
std::optional<std::wstring> Marker(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> Run(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> RemovedService(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> OwnService(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> AboveServerFolder(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> ServerFolderOrInside(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> TheServerFolder(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> InsideServerFolder(const JournalRecord& r, const Scope& scope);
std::optional<std::wstring> Stashed(const JournalRecord& r, const Scope& scope);
}  // namespace fields

// Fields by name. A kind with one field names its subject (a path, or a
// service's name) as kSubject.
inline constexpr size_t kSubject = 0;
struct MarkerField {
    enum : size_t { kAppDir, kPath, kCount };
};
struct RunField {
    enum : size_t { kHow, kAppDir, kServerDir, kPort, kMode, kInstallerDir, kCount };
};
struct StashedField {
    enum : size_t { kPath, kStashed, kCount };
};
struct ServiceField {
    enum : size_t {
        kName, kDisplayName, kBinaryPath, kLoadOrderGroup, kDependencies, kAccount,
        kType, kStartType, kErrorControl, kRunning, kCount
    };
};

// The record kinds, one line each: name, fields, place, check. A new kind
// of change is a line here and in kKinds, and its step in kSteps
// (JournalSteps.cpp: what undoes and what settles it), in the same place.

// Application folder, marker path.
inline constexpr Kind kMarker{L"marker", MarkerField::kCount, Kind::kAnywhere, fields::Marker};
// See DeploymentHeader.
inline constexpr Kind kRun{L"run", RunField::kCount, Kind::kOpening, fields::Run};
// See ServiceRecords.h.
inline constexpr Kind kRemoved{L"removed", ServiceField::kCount, Kind::kInRun, fields::RemovedService};
// Service name.
inline constexpr Kind kRegistered{L"registered", 1, Kind::kInRun, fields::OwnService};
// A folder made above the server folder.
inline constexpr Kind kParent{L"parent", 1, Kind::kInRun, fields::AboveServerFolder};
// The server folder, or one made in it.
inline constexpr Kind kFolder{L"dir", 1, Kind::kInRun, fields::ServerFolderOrInside};
// A file moved aside.
inline constexpr Kind kMoved{L"moved", 1, Kind::kInRun, fields::InsideServerFolder};
// A file the kit adds.
inline constexpr Kind kAdded{L"added", 1, Kind::kInRun, fields::InsideServerFolder};
// A file copied aside before an edit.
inline constexpr Kind kCopy{L"copy", 1, Kind::kInRun, fields::InsideServerFolder};
// The server folder, set aside whole (its name + kAsideSuffix) for a new one.
inline constexpr Kind kAside{L"aside", 1, Kind::kInRun, fields::TheServerFolder};
// The folder in the server folder that the files an upgrade replaces move
// into (Transaction.h's kStashName), made by the run; the commit deletes it.
inline constexpr Kind kStash{L"stash", 1, Kind::kInRun, fields::InsideServerFolder};
// A file moved into the stash: its path, and where it lies in the stash.
inline constexpr Kind kStashed{L"stashed", StashedField::kCount, Kind::kInRun, fields::Stashed};
inline constexpr Kind kCommitted{L"committed", 0, Kind::kInRun, nullptr};
// Done after the commit: the firewall rule made (or, for a removal, deleted).
inline constexpr Kind kFirewall{L"firewall", 0, Kind::kInRun, nullptr};
inline constexpr Kind kDone{L"done", 0, Kind::kInRun, nullptr};

// Every kind a journal may hold.
inline constexpr const Kind* kKinds[] = {
    &kMarker, &kRun,  &kRemoved, &kRegistered, &kParent,   &kFolder,
    &kMoved,  &kAdded, &kCopy,   &kAside,      &kStash,     &kStashed,  &kCommitted,
    &kFirewall, &kDone,
};

// The lines as written. A record is written only once Checker accepted it,
// so no field holds a control character (a tab or a line feed would break
// the line).
std::string EncodeHeader(const std::string& runId);
std::string EncodeRecord(const std::string& runId, const JournalRecord& record);

// Checks records in the order written, each by its kind (kKinds).
class Checker {
public:
    explicit Checker(Limits limits) : limits_(std::move(limits)) {}
    // Nothing when the record may follow those checked before it (it then
    // counts as one of them); otherwise why not, in Slovak.
    std::optional<std::wstring> Check(const JournalRecord& record);

private:
    Limits limits_;
    std::optional<JournalRecord> run_;
};

// A journal's bytes as read: its run id and records; `complete` is where
// the last line with its line feed ends (beyond it a torn last line, which
// never counts); `problem` says why the journal may not be used at all.
struct Contents {
    std::string runId;
    std::vector<JournalRecord> records;
    size_t complete = 0;
    std::optional<std::wstring> problem;
};
Contents ReadJournal(std::string_view bytes, const Limits& limits);

}  // namespace journal
}  // namespace engine
