// The server kit's ZIP reader: enumerates entries and extracts them below a
// folder, with events for progress and for entries that fail. Stored and
// deflate entries (zlib raw inflate), CRC-32 checked, ZIP64 read; encrypted
// entries and other methods are reported as failed entries.
//
// Errors raised (OpenArchive, and ExtractFiles/FindFirst on a reader that is
// not open) are ArchiveError. Failures of single entries never raise while
// extracting: they go to OnProcessFileFailure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace archive {

class ArchiveError : public std::runtime_error {
public:
    explicit ArchiveError(std::wstring message);
    const std::wstring& Message() const { return message_; }

private:
    std::wstring message_;
};

enum TZFProcessFileFailureAction { fxaRetry, fxaIgnore, fxaAbort };

// Attribute bits of an entry and of the FindFirst selection (DOS values).
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

struct TZFArchiveItem {
    std::wstring FileName;  // stored name, "\" as separator
    int64_t UncompressedSize = 0;
    int64_t CompressedSize = 0;
    uint32_t Attributes = 0;  // fa* bits; faDirectory for folder entries
    uint32_t CRC = 0;
};

struct ArchiveSurvey;

class ArchiveReader {
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    std::wstring FileName;                // archive path; relative to the current directory
    std::wstring BaseDir;                 // extraction folder, created when missing
    std::vector<std::wstring> FileMasks;  // entries to extract; see zip::MatchesMask
    // Files left out although a mask selects them: their safe relative
    // paths as ArchiveSurvey gives them, compared without case. A left-out
    // entry is neither written nor counted in the progress.
    std::vector<std::wstring> SkippedFiles;

    // progress in percent (0..100); setting cancel stops after the entries in
    // hand. Both events come on the thread that called ExtractFiles.
    std::function<void(double progress, bool& cancel)> OnOverallProgress;
    // action arrives as fxaIgnore (skip the entry); fxaRetry tries the entry
    // again, fxaAbort ends the extraction. Names use "\" as separator.
    // Failures come in entry order; no entry starts while the handler runs.
    std::function<void(const std::wstring& fileName, const std::wstring& errorMessage,
                       TZFProcessFileFailureAction& action)>
        OnProcessFileFailure;

    // Opens FileName and reads its central directory; raises ArchiveError
    // when the file cannot be opened or is not a readable ZIP archive.
    void OpenArchive();
    bool IsOpen() const;

    // Entries matching mask whose hidden, system and folder bits are all in
    // attributes (other entries always qualify), in directory order.
    bool FindFirst(const std::wstring& mask, TZFArchiveItem& item, uint32_t attributes);
    bool FindNext(TZFArchiveItem& item);

    // Extracts the entries matching any of FileMasks below BaseDir, several
    // at once on a pool of threads (one entry alone on the caller's thread).
    // Progress: 0 first, then the sum of the entries' written fractions /
    // entries selected * 100, never falling, 100 at the end. Returns
    // normally when cancelled or aborted; the entries in hand are finished
    // first, so no temporary file is left.
    void ExtractFiles();

    // What the open archive holds, as SurveyArchive gives it, from the very
    // central directory and file that ExtractFiles reads: a survey taken
    // here is of what is extracted, whatever took the archive's name since.
    ArchiveSurvey Survey() const;

    void CloseArchive();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// What an archive holds, read from its central directory without
// extracting anything: whether every entry could be extracted, and where.
struct ArchiveSurvey {
    // The first entry that could not be extracted (a name leading out of
    // the folder, encryption, an unsupported method) with the reason, when
    // there is one.
    std::optional<std::wstring> problem;
    // The safe relative paths of the extractable entries, with the
    // platform's separator, in directory order.
    std::vector<std::wstring> files;
    std::vector<uint64_t> fileBytes;  // each file's size, in the order of files
    std::vector<std::wstring> folders;
    uint64_t totalBytes = 0;  // of the files
};
// Raises ArchiveError when the archive cannot be opened or its central
// directory is not sound.
ArchiveSurvey SurveyArchive(const std::wstring& archive);

// The bytes of the archive's file entry entryName (matched as FileMasks
// match; the last such entry), read into memory with an extraction's
// checks: sizes as the central directory gives them (at most 64 MiB), the
// CRC compared. Nothing when the archive or the entry is missing, or when
// the entry could not be extracted (damaged, unsafe, unsupported), as an
// extraction would not have written it. Raises ArchiveError when the
// archive cannot be read (as OpenArchive).
std::optional<std::vector<uint8_t>> ReadEntryBytes(const std::wstring& archive,
                                                   const std::wstring& entryName);

}  // namespace archive
