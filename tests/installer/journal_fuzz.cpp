// libFuzzer target for the journal's reader: any bytes give either a
// problem and no records, or records within the complete lines that the
// writer turns back into exactly those lines and that pass the checks
// again in order. Built by scripts/fuzz with clang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/JournalFormat.h"

namespace journal = engine::journal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const journal::Limits limits{L"C:\\Program Files\\firebird_2_5\\"};
    const journal::Contents read = journal::ReadJournal(bytes, limits);
    if (read.complete > size) std::abort();
    if (read.problem) {
        if (!read.records.empty()) std::abort();
        return 0;
    }
    if (read.records.empty()) return 0;
    std::string again = journal::EncodeHeader(read.runId);
    journal::Checker checker(limits);
    for (const engine::JournalRecord& record : read.records) {
        if (checker.Check(record)) std::abort();
        again += journal::EncodeRecord(read.runId, record);
    }
    if (again != bytes.substr(0, read.complete)) std::abort();
    return 0;
}
