#include "archive/ArchiveReader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "archive/ArchiveFiles.h"
#include "archive/ZipFormat.h"

namespace engine {

namespace {

// Big enough that system calls and events are few, small enough that the
// reader's memory stays flat whatever the archive's size.
constexpr size_t kInputChunk = 256 * 1024;
constexpr size_t kOutputChunk = 256 * 1024;

const wchar_t kUnsafePath[] = L"Cesta súboru smeruje mimo cieľového priečinka";
const wchar_t kEncrypted[] = L"Súbor je zašifrovaný";
const wchar_t kDamagedData[] = L"Poškodené alebo neúplné údaje súboru";
const wchar_t kBadCrc[] = L"Chybný kontrolný súčet (CRC) súboru";

std::wstring Join(std::wstring base, const std::vector<std::wstring>& parts, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += files::kSeparator;
        base += parts[i];
    }
    return base;
}

uint32_t ItemAttributes(const zip::Entry& e) {
    uint32_t attributes = e.externalAttributes & faAnyFile & ~uint32_t(faDirectory);
    return e.isFolder ? attributes | faDirectory : attributes;
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
    z_stream inflater{};
    bool inflaterReady = false;
    std::vector<unsigned char> in = std::vector<unsigned char>(kInputChunk);

    ~State() {
        if (inflaterReady) inflateEnd(&inflater);
    }
};

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::OpenArchive() {
    CloseArchive();
    auto state = std::make_unique<State>();
    std::wstring error;
    if (!state->input.Open(FileName, error)) throw ArchiveError(error);
    error = zip::ReadDirectory(state->input, files::DecodeOemName, state->directory);
    if (!error.empty()) throw ArchiveError(error + L": " + FileName);
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

namespace {

// Checksums and writes an entry's data on a second thread while the caller
// inflates the next chunk, so that on two cores an extraction costs little
// more than inflating alone. Chunks are written in the order submitted; the
// caller's thread keeps the events and every decision.
class ChunkPipeline {
public:
    using Buffer = std::vector<unsigned char>;

    ChunkPipeline() {
        for (Buffer& b : buffers_) {
            b.resize(kOutputChunk);
            free_.push_back(&b);
        }
        worker_ = std::thread([this] { Run(); });
    }
    ~ChunkPipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    // Starts an entry; the pipeline is idle (after Finish).
    void Begin(files::OutputFile& file) {
        file_ = &file;
        crc_ = 0;
        error_.clear();
        failed_ = false;
    }
    bool Failed() const { return failed_; }

    Buffer& Acquire() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        Buffer* b = free_.back();
        free_.pop_back();
        return *b;
    }
    void Release(Buffer& b) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(&b);
        changed_.notify_all();
    }
    void Submit(Buffer& b, size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({&b, n});
        changed_.notify_all();
    }

    // Waits until every submitted chunk is written; the entry's CRC and the
    // first write error.
    std::wstring Finish(uint32_t& crc) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
        file_ = nullptr;
        crc = crc_;
        return error_;
    }

private:
    struct Job {
        Buffer* buffer;
        size_t size;
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            Job job = queue_.front();
            queue_.pop_front();
            busy_ = true;
            lock.unlock();
            if (!failed_) {
                crc_ = uint32_t(crc32(crc_, job.buffer->data(), uInt(job.size)));
                if (!file_->Write(job.buffer->data(), job.size, error_)) failed_ = true;
            }
            lock.lock();
            busy_ = false;
            free_.push_back(job.buffer);
            changed_.notify_all();
        }
    }

    std::array<Buffer, 3> buffers_;
    std::vector<Buffer*> free_;
    std::deque<Job> queue_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;
    bool stop_ = false;
    files::OutputFile* file_ = nullptr;
    uint32_t crc_ = 0;    // written by the worker, read after Finish
    std::wstring error_;  // likewise
    std::atomic<bool> failed_{false};
    std::thread worker_;  // last, so it starts after everything it uses
};

// Extraction of one run of ExtractFiles: the selected entries, the events,
// the cancel state.
class Extraction {
public:
    Extraction(ArchiveReader& reader, files::InputFile& input, const zip::Directory& directory,
               bool& canceled, z_stream& inflater, bool& inflaterReady,
               std::vector<unsigned char>& in)
        : reader_(reader),
          input_(input),
          directory_(directory),
          canceled_(canceled),
          inflater_(inflater),
          inflaterReady_(inflaterReady),
          in_(in) {}

    void Run() {
        std::vector<const zip::Entry*> selected;
        for (const zip::Entry& e : directory_.entries)
            if (std::any_of(reader_.FileMasks.begin(), reader_.FileMasks.end(),
                            [&](const std::wstring& m) { return zip::MatchesMask(e.name, m); }))
                selected.push_back(&e);
        count_ = selected.size();

        Progress(0);
        if (canceled_) return;
        for (index_ = 0; index_ < count_; ++index_) {
            if (!ExtractWithRetries(*selected[index_]) || canceled_) return;
            if (index_ + 1 < count_) Progress(double(index_ + 1) / double(count_) * 100.0);
            if (canceled_) return;
        }
        Progress(100);
    }

private:
    // False when the failure handler asked to abort.
    bool ExtractWithRetries(const zip::Entry& e) {
        for (;;) {
            std::wstring error = Extract(e);
            if (error.empty()) return true;
            TZFProcessFileFailureAction action = fxaIgnore;
            if (reader_.OnProcessFileFailure) reader_.OnProcessFileFailure(e.name, error, action);
            if (action == fxaAbort) return false;
            if (action == fxaIgnore) return true;
        }
    }

    void Progress(double percent) {
        if (canceled_ || !reader_.OnOverallProgress) return;
        bool cancel = false;
        reader_.OnOverallProgress(percent, cancel);
        if (cancel) canceled_ = true;
    }

    std::wstring Extract(const zip::Entry& e) {
        std::vector<std::wstring> parts;
        if (!zip::SplitSafePath(e.name, parts)) return kUnsafePath;
        std::wstring error;
        if (e.isFolder) {
            files::MakeFolders(Join(reader_.BaseDir, parts, parts.size()), error);
            return error;
        }
        if (e.flags & (zip::kEncrypted | zip::kStrongEncryption)) return kEncrypted;
        if (e.method != zip::kStored && e.method != zip::kDeflated)
            return L"Nepodporovaná metóda kompresie (" + std::to_wstring(e.method) + L")";
        if (e.method == zip::kStored && e.compressedSize != e.uncompressedSize) return kDamagedData;
        uint64_t offset = 0;
        if (error = zip::LocateData(input_, directory_, e, offset); !error.empty()) return error;
        if (!files::MakeFolders(Join(reader_.BaseDir, parts, parts.size() - 1), error))
            return error;

        files::OutputFile file;
        if (!file.Create(Join(reader_.BaseDir, parts, parts.size()), error)) return error;
        uint32_t crc = 0;
        {
            // The worker must be done with the file before it goes, also when
            // an event handler throws.
            pipeline_.Begin(file);
            struct Drain {
                ChunkPipeline& p;
                ~Drain() {
                    uint32_t ignored;
                    p.Finish(ignored);
                }
            } drain{pipeline_};
            error = e.method == zip::kStored ? CopyStored(e, offset) : Inflate(e, offset);
            std::wstring writeError = pipeline_.Finish(crc);
            if (!writeError.empty()) return writeError;
            if (!error.empty()) return error;
        }
        if (crc != e.crc) return kBadCrc;
        file.Commit(e.externalAttributes, e.host, error);
        return error;
    }

    // Hands a chunk of the entry's data to the writer and reports progress
    // unless the chunk completes the entry.
    std::wstring Deliver(const zip::Entry& e, ChunkPipeline::Buffer& chunk, size_t n,
                         uint64_t& written) {
        if (n > e.uncompressedSize - written) {
            pipeline_.Release(chunk);
            return kDamagedData;
        }
        pipeline_.Submit(chunk, n);
        written += n;
        if (written < e.uncompressedSize)
            Progress((double(index_) + double(written) / double(e.uncompressedSize)) /
                     double(count_) * 100.0);
        return {};
    }

    std::wstring CopyStored(const zip::Entry& e, uint64_t offset) {
        uint64_t written = 0;
        while (written < e.uncompressedSize && !pipeline_.Failed()) {
            ChunkPipeline::Buffer& chunk = pipeline_.Acquire();
            size_t n = size_t(std::min<uint64_t>(chunk.size(), e.uncompressedSize - written));
            if (input_.ReadAt(offset + written, chunk.data(), n) != n) {
                pipeline_.Release(chunk);
                return kDamagedData;
            }
            if (std::wstring error = Deliver(e, chunk, n, written); !error.empty()) return error;
        }
        return {};
    }

    std::wstring Inflate(const zip::Entry& e, uint64_t offset) {
        if (!inflaterReady_) {
            if (inflateInit2(&inflater_, -MAX_WBITS) != Z_OK) return kDamagedData;
            inflaterReady_ = true;
        } else {
            inflateReset(&inflater_);
        }
        z_stream& zs = inflater_;
        zs.avail_in = 0;
        uint64_t remaining = e.compressedSize;
        uint64_t written = 0;
        while (!pipeline_.Failed()) {
            if (zs.avail_in == 0 && remaining > 0) {
                size_t n = size_t(std::min<uint64_t>(in_.size(), remaining));
                if (input_.ReadAt(offset, in_.data(), n) != n) return kDamagedData;
                offset += n;
                remaining -= n;
                zs.next_in = in_.data();
                zs.avail_in = uInt(n);
            }
            ChunkPipeline::Buffer& chunk = pipeline_.Acquire();
            zs.next_out = chunk.data();
            zs.avail_out = uInt(chunk.size());
            int rc = inflate(&zs, Z_NO_FLUSH);
            size_t produced = chunk.size() - zs.avail_out;
            if (produced > 0) {
                if (std::wstring error = Deliver(e, chunk, produced, written); !error.empty())
                    return error;
            } else {
                pipeline_.Release(chunk);
            }
            if (rc == Z_STREAM_END) break;
            if (rc == Z_BUF_ERROR && zs.avail_in == 0 && remaining == 0) return kDamagedData;
            if (rc != Z_OK && rc != Z_BUF_ERROR) return kDamagedData;
        }
        return written == e.uncompressedSize || pipeline_.Failed() ? std::wstring() : kDamagedData;
    }

    ArchiveReader& reader_;
    files::InputFile& input_;
    const zip::Directory& directory_;
    bool& canceled_;
    z_stream& inflater_;
    bool& inflaterReady_;
    std::vector<unsigned char>& in_;
    ChunkPipeline pipeline_;
    size_t index_ = 0;
    size_t count_ = 0;
};

}  // namespace

void ArchiveReader::ExtractFiles() {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    State& s = *state_;
    s.canceled = false;
    Extraction(*this, s.input, s.directory, s.canceled, s.inflater, s.inflaterReady, s.in).Run();
}

int32_t ArchiveTotalSize(const std::wstring& archive) {
    ArchiveReader reader;
    reader.FileName = archive;
    try {
        reader.OpenArchive();
    } catch (const ArchiveError&) {
        throw ArchiveError(L"Chyba pri otváraní súboru: " + archive);
    }
    uint32_t total = 0;  // unsigned, so a total above 2 GiB wraps instead of overflowing
    TZFArchiveItem item;
    for (bool found = reader.FindFirst(L"*.*", item, faAnyFile & ~uint32_t(faDirectory)); found;
         found = reader.FindNext(item))
        total += uint32_t(uint64_t(item.UncompressedSize));
    reader.CloseArchive();
    return int32_t(total);
}

}  // namespace engine
