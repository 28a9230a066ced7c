// The deployment's write-ahead journal: one file in a fixed place that every
// later run finds. A change is recorded, and the record is on the disk,
// before the change is made; a run cut short (killed, power lost) leaves
// the journal behind for the next start to finish or undo.
#pragma once

#include <string>
#include <vector>

#include "platform/UniqueHandle.h"

namespace engine {

// One line of the journal: a kind and its fields. Lines are UTF-8, fields
// separated by a tab (no Windows path holds one), ended by a line feed; a
// line without its line feed was cut short and never counts.
struct JournalRecord {
    std::wstring kind;
    std::vector<std::wstring> fields;

    const std::wstring& Field(size_t i) const;  // empty when missing
};

class Journal {
public:
    // C:\ProgramData\Velmora\Istrel\deployment.journal (the common
    // application data folder of the PC).
    static std::wstring DefaultPath();

    explicit Journal(std::wstring path = DefaultPath());
    const std::wstring& Path() const { return path_; }

    bool Exists() const;
    // Appends the records and flushes them to the disk before it returns,
    // creating the file and its folders first. Raises platform::SystemError
    // when they cannot be written: no change may follow then.
    void Append(const std::vector<JournalRecord>& records);
    void Append(const JournalRecord& record) { Append(std::vector<JournalRecord>{record}); }
    // The complete records in the order written; none without a file.
    std::vector<JournalRecord> Read() const;
    // Deletes the file, and its folders when they are left empty.
    void Remove();

private:
    std::wstring path_;
    platform::UniqueKernelHandle file_;
};

}  // namespace engine
