// The deployment's write-ahead journal: one file in a fixed place that every
// later run finds (Places::JournalPath). A change is recorded, and the record is on the disk,
// before the change is made; a run cut short (killed, power lost) leaves
// the journal behind for the next start to finish or undo.
//
// The elevated installer acts on what the journal says, so it lies where
// only SYSTEM and administrators can write, and is checked anyway before
// anything is acted on (JournalFormat.h): a journal that fails is set aside
// unused for the administrator.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/JournalFormat.h"
#include "platform/UniqueHandle.h"

namespace engine {

// The journal's own folders, the one `path` lies in and its parent. Makes
// them where missing, for SYSTEM and administrators only (`made`: how many
// of the two it made), and checks them; an existing one is only checked,
// never given new rights here: that would hand what someone else left in
// it to the administrators before a load could see whose it is. Nothing,
// or why they are not safe to act from.
std::optional<std::wstring> MakeJournalFolders(const std::wstring& path, int& made);
// The same check, only looked at: nothing made (a folder that is missing
// is no problem).
std::optional<std::wstring> JournalFoldersProblem(const std::wstring& path);
// Removes the `made` folders (the journal's own first), each only when it
// is empty: a folder another program made stays.
void RemoveJournalFolders(const std::wstring& path, int made);

class Journal {
public:
    // The journal at `path`, whose folder and its parent are the journal's
    // own: made for SYSTEM and administrators only by the deployment guard,
    // which removes those it made when they are left empty.
    // `limits` bound what its records may name.
    Journal(std::wstring path, journal::Limits limits);

    // A file lies at the journal's path, checked or not.
    bool Exists() const;

    // The journal to settle: this run's own records as it wrote them, or
    // else the file an earlier run left, read and checked whole. A last line
    // without its line feed was cut short by a power cut while it was
    // appended; by the write-ahead rule its change never happened, so it is
    // cut off the file and the rest counts.
    struct Loaded {
        enum Outcome {
            kNone,     // no journal
            kRecords,  // the records to settle (perhaps none)
            // Not used, and not to be: set aside for the administrator
            // (a check failed), or left alone (its folder is not safe, it
            // cannot be read). `why` is the sentence for the user.
            kRefused,
        } outcome = kNone;
        std::vector<JournalRecord> records;
        std::wstring why;
    };
    // A refused journal leaves the object unsettled.
    Loaded Load();
    // What Load would find, only looked at: nothing is cut, set aside or
    // held. Nothing when there is no journal or it would be settled; else
    // the sentence saying why it would be refused (its file not renamed).
    std::optional<std::wstring> Inspect() const;

    // Appends the records and flushes them to the disk before it returns.
    // The first append of a run creates the journal (never over one that
    // is there) with a new run id. Raises platform::Error when a record
    // would not pass the checks a later start makes, or when the journal is
    // unsettled; platform::SystemError when it cannot be written. No change
    // may follow then.
    void Append(const std::vector<JournalRecord>& records);
    void Append(const JournalRecord& record) { Append(std::vector<JournalRecord>{record}); }
    // What this run appended, in order.
    const std::vector<JournalRecord>& Written() const { return written_; }

    // Deletes the file; the object may begin a new run then. Its folders
    // are the deployment guard's to remove.
    void Remove();
    // A settlement that could not finish: the journal stays for the next
    // start, and until then nothing more is appended (Append raises).
    void Hold();
    bool Unsettled() const { return unsettled_; }

private:
    // The file as a load finds it, read through the handle it is checked by.
    struct Examined {
        enum Kind {
            kRead,          // whole and checked: contents (torn: a last line to cut off)
            kFolderUnsafe,  // its folders are not safe to act from: why
            kUnreadable,    // it cannot be read: the system's reason
            kRefused,       // it fails a check and is to be set aside: why
        } kind;
        std::wstring why;
        journal::Contents contents{};
        bool torn = false;
        Examined(Kind k, std::wstring reason) : kind(k), why(std::move(reason)) {}
    };
    Examined Examine() const;
    void Create();
    Loaded Refuse(const std::wstring& why);
    Loaded SetAside(const std::wstring& reason);

    std::wstring path_;
    journal::Limits limits_;
    platform::UniqueKernelHandle file_;
    std::string runId_;  // this run's, once it appended
    journal::Checker checker_;
    std::vector<JournalRecord> written_;
    bool unsettled_ = false;
};

}  // namespace engine
