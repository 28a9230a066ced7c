// One entry read into memory, with the checks of an extraction.
#include "archive/ArchiveFiles.h"
#include "archive/ArchiveReader.h"
#include "archive/EntryChecks.h"
#include "archive/EntryDecoder.h"
#include "archive/Wildcards.h"

namespace archive {

namespace {

// Far above any file the installer reads this way; a directory that
// claims more is not believed enough to reserve it.
constexpr uint64_t kMaxEntryBytes = 64 * 1024 * 1024;

class MemorySink : public zip::ByteSink {
public:
    explicit MemorySink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    Outcome Write(const void* data, size_t count) override {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + count);
        return {};
    }

private:
    std::vector<uint8_t>& bytes_;
};

// The last file entry of that name, as extracting them all would leave it.
const zip::Entry* FindFileEntry(const zip::Directory& directory, const std::wstring& name) {
    const zip::Entry* found = nullptr;
    for (const zip::Entry& e : directory.entries)
        if (!e.isFolder && zip::MatchesMask(e.name, name)) found = &e;
    return found;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadEntryBytes(const std::wstring& archive,
                                                   const std::wstring& entryName) {
    if (!files::Exists(archive)) return std::nullopt;
    files::InputFile input;
    zip::Directory directory;
    OpenDirectory(archive, input, directory);
    const zip::Entry* e = FindFileEntry(directory, entryName);
    if (!e) return std::nullopt;
    // An entry that an extraction would not write is not there either.
    std::vector<std::wstring> parts;
    if (!EntryProblem(*e, parts).Ok() || e->uncompressedSize > kMaxEntryBytes) return std::nullopt;
    uint64_t offset = 0;
    if (!zip::LocateData(input, directory, *e, offset).Ok()) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(e->uncompressedSize));
    MemorySink sink(bytes);
    EntryDecoder decoder(input, false);
    if (!decoder.Decode(*e, offset, sink, [](uint64_t) {}).Ok()) return std::nullopt;
    return bytes;
}

}  // namespace archive
