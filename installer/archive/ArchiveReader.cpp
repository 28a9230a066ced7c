#include "archive/ArchiveReader.h"

#include "archive/ArchiveFiles.h"
#include "archive/ArchiveText.h"
#include "archive/EntryChecks.h"
#include "archive/ExtractionPool.h"
#include "archive/Wildcards.h"
#include "archive/ZipRecords.h"

namespace archive {

namespace {

uint32_t ItemAttributes(const zip::Entry& e) {
    uint32_t attributes = e.externalAttributes & faAnyFile & ~uint32_t(faDirectory);
    return e.isFolder ? attributes | faDirectory : attributes;
}

// What a central directory holds, as ArchiveSurvey gives it.
ArchiveSurvey SurveyDirectory(const zip::Directory& directory) {
    ArchiveSurvey survey;
    std::vector<std::wstring> parts;
    for (const zip::Entry& e : directory.entries) {
        if (Outcome problem = EntryProblem(e, parts); !problem.Ok()) {
            if (!survey.problem) survey.problem = e.name + L": " + problem.Error();
            continue;
        }
        std::wstring path = JoinPath(L"", parts, parts.size());
        (e.isFolder ? survey.folders : survey.files).push_back(std::move(path));
        if (e.isFolder) continue;
        survey.fileBytes.push_back(e.uncompressedSize);
        survey.totalBytes += e.uncompressedSize;
    }
    return survey;
}

}  // namespace

ArchiveError::ArchiveError(std::wstring message)
    : std::runtime_error(zip::EncodeUtf8(message)), message_(std::move(message)) {}

struct ArchiveReader::State {
    files::InputFile input;
    zip::Directory directory;

    std::wstring findMask;
    uint32_t findAttributes = 0;
    size_t findNext = 0;

    bool canceled = false;
};

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::OpenArchive() {
    CloseArchive();
    auto state = std::make_unique<State>();
    OpenDirectory(FileName, state->input, state->directory);
    state_ = std::move(state);
}

bool ArchiveReader::IsOpen() const {
    return state_ != nullptr;
}

void ArchiveReader::CloseArchive() {
    state_.reset();
}

bool ArchiveReader::FindFirst(const std::wstring& mask, TZFArchiveItem& item, uint32_t attributes) {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    state_->findMask = mask;
    state_->findAttributes = attributes;
    state_->findNext = 0;
    return FindNext(item);
}

bool ArchiveReader::FindNext(TZFArchiveItem& item) {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    const auto& entries = state_->directory.entries;
    constexpr uint32_t kSpecial = faHidden | faSysFile | faDirectory;
    while (state_->findNext < entries.size()) {
        const zip::Entry& e = entries[state_->findNext++];
        uint32_t attributes = ItemAttributes(e);
        if ((attributes & kSpecial & ~state_->findAttributes) != 0) continue;
        if (!zip::MatchesMask(e.name, state_->findMask)) continue;
        item.FileName = e.name;
        item.UncompressedSize = int64_t(e.uncompressedSize);
        item.CompressedSize = int64_t(e.compressedSize);
        item.Attributes = attributes;
        item.CRC = e.crc;
        return true;
    }
    return false;
}

void ArchiveReader::ExtractFiles() {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    State& s = *state_;
    s.canceled = false;
    ExtractionPool(*this, s.input, s.directory, s.canceled).Run();
}

ArchiveSurvey ArchiveReader::Survey() const {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    return SurveyDirectory(state_->directory);
}

ArchiveSurvey SurveyArchive(const std::wstring& archive) {
    files::InputFile input;
    zip::Directory directory;
    OpenDirectory(archive, input, directory);
    return SurveyDirectory(directory);
}

}  // namespace archive
