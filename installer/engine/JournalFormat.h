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
#include <vector>

namespace engine {

// One record: a kind and its fields.
struct JournalRecord {
    std::wstring kind;
    std::vector<std::wstring> fields;

    const std::wstring& Field(size_t i) const;  // empty when missing
};

namespace journal {

// The record kinds, with their fields:
inline constexpr wchar_t kMarker[] = L"marker";          // application folder, marker path
inline constexpr wchar_t kRun[] = L"run";                // see DeploymentHeader
inline constexpr wchar_t kRemoved[] = L"removed";        // see ServiceRecords.h
inline constexpr wchar_t kRegistered[] = L"registered";  // service name
inline constexpr wchar_t kParent[] = L"parent";          // a folder made above the server folder
inline constexpr wchar_t kFolder[] = L"dir";             // the server folder, or one made in it
inline constexpr wchar_t kMoved[] = L"moved";            // a file moved aside
inline constexpr wchar_t kAdded[] = L"added";            // a file the kit adds
inline constexpr wchar_t kCopy[] = L"copy";              // a file copied aside before an edit
inline constexpr wchar_t kCommitted[] = L"committed";
inline constexpr wchar_t kFirewall[] = L"firewall";
inline constexpr wchar_t kDone[] = L"done";

// The lines as written. A record is written only once Checker accepted it,
// so no field holds a control character (a tab or a line feed would break
// the line).
std::string EncodeHeader(const std::string& runId);
std::string EncodeRecord(const std::string& runId, const JournalRecord& record);

// What bounds a record beyond the journal's own run record: the legacy
// server's folder (under Program Files), whose instance a run may remove.
struct Limits {
    std::wstring legacyServerDir;
};

// Checks records in the order written. Every record but a marker follows
// the one run record and stays inside what it names: files and folders in
// its server folder (folders above it only as such), services the
// installer's own instances, restored ones running a program from that
// folder or the legacy server's as a process of their own. A marker is one
// of the application's two markers in the folder it names.
class Checker {
public:
    explicit Checker(Limits limits) : limits_(std::move(limits)) {}
    // Nothing when the record may follow those checked before it (it then
    // counts as one of them); otherwise why not, in Slovak.
    std::optional<std::wstring> Check(const JournalRecord& record);

private:
    std::optional<std::wstring> CheckRun(const JournalRecord& r) const;
    std::optional<std::wstring> CheckInRun(const JournalRecord& r) const;
    std::optional<std::wstring> CheckService(const JournalRecord& r) const;

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
