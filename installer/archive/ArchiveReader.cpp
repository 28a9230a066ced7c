#include "archive/ArchiveReader.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cwctype>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "archive/ArchiveFiles.h"
#include "archive/ZipFormat.h"

namespace archive {

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

// Why the entry cannot be extracted, judged from the central directory
// alone; empty when it can. parts receives its safe path.
std::wstring EntryProblem(const zip::Entry& e, std::vector<std::wstring>& parts) {
    if (!zip::SplitSafePath(e.name, parts)) return kUnsafePath;
    if (e.isFolder) return {};
    if (e.flags & (zip::kEncrypted | zip::kStrongEncryption)) return kEncrypted;
    if (e.method != zip::kStored && e.method != zip::kDeflated)
        return L"Nepodporovaná metóda kompresie (" + std::to_wstring(e.method) + L")";
    if (e.method == zip::kStored && e.compressedSize != e.uncompressedSize) return kDamagedData;
    return {};
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

// Checksums and writes an entry's data. With a thread of its own it does so
// while the caller inflates the next chunk (one entry alone gets two cores
// that way); without, at once on the caller's thread (the pool's workers,
// which keep every core busy already). Chunks are written in the order
// submitted; the caller keeps every decision.
class ChunkPipeline {
public:
    using Buffer = std::vector<unsigned char>;

    explicit ChunkPipeline(bool threaded) : buffers_(threaded ? 3 : 1) {
        for (Buffer& b : buffers_) {
            b.resize(kOutputChunk);
            free_.push_back(&b);
        }
        if (threaded) worker_ = std::thread([this] { Run(); });
    }
    ~ChunkPipeline() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    // Starts an entry; the writer is idle (after Finish).
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
        if (!worker_.joinable()) {
            Write(b, n);
            Release(b);
            return;
        }
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

    void Write(const Buffer& b, size_t n) {
        if (failed_) return;
        crc_ = uint32_t(crc32(crc_, b.data(), uInt(n)));
        if (!file_->Write(b.data(), n, error_)) failed_ = true;
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            Job job = queue_.front();
            queue_.pop_front();
            busy_ = true;
            lock.unlock();
            Write(*job.buffer, job.size);
            lock.lock();
            busy_ = false;
            free_.push_back(job.buffer);
            changed_.notify_all();
        }
    }

    std::vector<Buffer> buffers_;
    std::vector<Buffer*> free_;
    std::deque<Job> queue_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;
    bool stop_ = false;
    files::OutputFile* file_ = nullptr;
    uint32_t crc_ = 0;    // written by the writing thread, read after Finish
    std::wstring error_;  // likewise
    std::atomic<bool> failed_{false};
    std::thread worker_;
};

// Called with the bytes of the entry written so far, after each chunk that
// does not complete it.
using EntryProgress = std::function<void(uint64_t written)>;

// Takes entries out of the archive into their place below the base folder:
// a temporary file, the CRC, then the final name. One per thread: the
// inflater and the buffers are its own, and the archive is read by offset,
// so several can work side by side.
class EntryWriter {
public:
    EntryWriter(const std::wstring& baseDir, files::InputFile& input,
                const zip::Directory& directory, bool threadedWrites)
        : baseDir_(baseDir), input_(input), directory_(directory), pipeline_(threadedWrites) {}
    ~EntryWriter() {
        if (inflaterReady_) inflateEnd(&inflater_);
    }
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    // Empty on success, otherwise the error text for the failure event.
    std::wstring Extract(const zip::Entry& e, const EntryProgress& progress) {
        std::vector<std::wstring> parts;
        std::wstring error = EntryProblem(e, parts);
        if (!error.empty()) return error;
        if (e.isFolder) {
            files::MakeFolders(Join(baseDir_, parts, parts.size()), error);
            return error;
        }
        uint64_t offset = 0;
        if (error = zip::LocateData(input_, directory_, e, offset); !error.empty()) return error;
        if (!files::MakeFolders(Join(baseDir_, parts, parts.size() - 1), error)) return error;

        files::OutputFile file;
        if (!file.Create(Join(baseDir_, parts, parts.size()), error)) return error;
        uint32_t crc = 0;
        {
            // The writing thread must be done with the file before it goes,
            // also when an event handler throws.
            pipeline_.Begin(file);
            struct Drain {
                ChunkPipeline& p;
                ~Drain() {
                    uint32_t ignored;
                    p.Finish(ignored);
                }
            } drain{pipeline_};
            error = e.method == zip::kStored ? CopyStored(e, offset, progress)
                                             : Inflate(e, offset, progress);
            std::wstring writeError = pipeline_.Finish(crc);
            if (!writeError.empty()) return writeError;
            if (!error.empty()) return error;
        }
        if (crc != e.crc) return kBadCrc;
        file.Commit(e.externalAttributes, e.host, error);
        return error;
    }

private:
    // Hands a chunk of the entry's data to the writer and reports progress
    // unless the chunk completes the entry.
    std::wstring Deliver(const zip::Entry& e, ChunkPipeline::Buffer& chunk, size_t n,
                         uint64_t& written, const EntryProgress& progress) {
        if (n > e.uncompressedSize - written) {
            pipeline_.Release(chunk);
            return kDamagedData;
        }
        pipeline_.Submit(chunk, n);
        written += n;
        if (written < e.uncompressedSize) progress(written);
        return {};
    }

    std::wstring CopyStored(const zip::Entry& e, uint64_t offset, const EntryProgress& progress) {
        uint64_t written = 0;
        while (written < e.uncompressedSize && !pipeline_.Failed()) {
            ChunkPipeline::Buffer& chunk = pipeline_.Acquire();
            size_t n = size_t(std::min<uint64_t>(chunk.size(), e.uncompressedSize - written));
            if (input_.ReadAt(offset + written, chunk.data(), n) != n) {
                pipeline_.Release(chunk);
                return kDamagedData;
            }
            if (std::wstring error = Deliver(e, chunk, n, written, progress); !error.empty())
                return error;
        }
        return {};
    }

    std::wstring Inflate(const zip::Entry& e, uint64_t offset, const EntryProgress& progress) {
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
                if (std::wstring error = Deliver(e, chunk, produced, written, progress);
                    !error.empty())
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

    const std::wstring& baseDir_;
    files::InputFile& input_;
    const zip::Directory& directory_;
    z_stream inflater_{};
    bool inflaterReady_ = false;
    std::vector<unsigned char> in_ = std::vector<unsigned char>(kInputChunk);
    ChunkPipeline pipeline_;  // last: its thread goes first
};

// One run of ExtractFiles: the selected entries, the events, the cancel
// state. Several entries are extracted at once on a small pool of threads;
// the events stay on the caller's thread, failures in entry order.
class Extraction {
public:
    Extraction(ArchiveReader& reader, files::InputFile& input, const zip::Directory& directory,
               bool& canceled)
        : reader_(reader),
          baseDir_(reader.BaseDir),
          input_(input),
          directory_(directory),
          canceled_(canceled) {}

    // Whatever way the run ends, the pool finishes the entries in hand
    // (their temporary files become files or go) and starts no more.
    ~Extraction() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Stop();
        }
        workReady_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    void Run() {
        for (const zip::Entry& e : directory_.entries)
            if (std::any_of(reader_.FileMasks.begin(), reader_.FileMasks.end(),
                            [&](const std::wstring& m) { return zip::MatchesMask(e.name, m); }))
                selected_.push_back(&e);

        Progress(0);
        if (canceled_) return;
        bool completed = selected_.size() < 2 ? RunHere() : RunPool();
        if (completed) Progress(100);
    }

private:
    // One entry (the version lookup) needs no pool: the caller inflates and
    // the writer's own thread checks and writes.
    bool RunHere() {
        if (selected_.empty()) return true;
        const zip::Entry& e = *selected_.front();
        EntryWriter writer(baseDir_, input_, directory_, true);
        auto progress = [&](uint64_t written) {
            Progress(double(written) / double(e.uncompressedSize) * 100.0);
        };
        for (;;) {
            std::wstring error = writer.Extract(e, progress);
            if (error.empty()) break;
            TZFProcessFileFailureAction action = Failed(e, error);
            if (action == fxaAbort) return false;
            if (action == fxaIgnore) break;
        }
        return !canceled_;
    }

    bool RunPool() {
        std::vector<std::vector<size_t>> jobs = Schedule();
        const size_t count = selected_.size();
        size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 2, kMaxThreads);
        threads = std::min(threads, jobs.size());
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.assign(std::make_move_iterator(jobs.begin()), std::make_move_iterator(jobs.end()));
        slots_.resize(count);
        for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { Work(); });

        size_t next = 0;  // the first entry whose outcome the caller has not had
        uint64_t seen = 0;
        for (;;) {
            news_.wait(lock, [&] { return newsCount_ != seen; });
            seen = newsCount_;
            if (crash_) std::rethrow_exception(crash_);
            while (next < count && slots_[next].done) {
                if (slots_[next].error.empty()) {
                    ++next;
                    continue;
                }
                // No entry starts while the caller decides, as when they
                // were extracted one by one; those in hand go on.
                holding_ = true;
                std::wstring error = std::move(slots_[next].error);
                lock.unlock();
                TZFProcessFileFailureAction action = Failed(*selected_[next], error);
                lock.lock();
                // Stopped before the lock goes, or the pool would race ahead.
                if (action == fxaAbort) return Stop();
                holding_ = false;
                workReady_.notify_all();
                if (action == fxaRetry) {
                    slots_[next] = Slot();
                    queue_.push_front({next});
                    break;
                }
                ++next;
            }
            if (next == count) return true;
            double percent = 0;
            for (const Slot& s : slots_) percent += s.fraction;
            percent = percent / double(count) * 100.0;
            if (reader_.OnOverallProgress && percent > shown_ && percent < 100) {
                // The handler may ask whether to stop: no entry starts
                // while it runs, as while a failure is decided.
                holding_ = true;
                lock.unlock();
                Progress(percent);
                lock.lock();
                if (canceled_) return Stop();
                holding_ = false;
                workReady_.notify_all();
            }
        }
    }

    // Under mutex_: no entry starts any more.
    bool Stop() {
        stop_ = true;
        return false;
    }

    // The pool's jobs: the biggest entries first, so that what is left at
    // the end is small and no thread idles long waiting for another. The
    // entries of one target name form one job in entry order, so that the
    // last of them wins as when extracted one by one.
    std::vector<std::vector<size_t>> Schedule() const {
        std::vector<std::vector<size_t>> jobs;
        std::vector<uint64_t> sizes;
        std::map<std::wstring, size_t> byTarget;
        std::vector<std::wstring> parts;
        for (size_t i = 0; i < selected_.size(); ++i) {
            size_t job = jobs.size();
            if (zip::SplitSafePath(selected_[i]->name, parts)) {
                std::wstring key;
                for (const std::wstring& part : parts) key += part + L'\\';
                for (wchar_t& c : key) c = wchar_t(std::towupper(c));
                job = byTarget.emplace(std::move(key), jobs.size()).first->second;
            }
            if (job == jobs.size()) {
                jobs.emplace_back();
                sizes.push_back(0);
            }
            jobs[job].push_back(i);
            sizes[job] = std::max(sizes[job], selected_[i]->uncompressedSize);
        }
        std::vector<size_t> order(jobs.size());
        for (size_t j = 0; j < order.size(); ++j) order[j] = j;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });
        std::vector<std::vector<size_t>> sorted;
        for (size_t j : order) sorted.push_back(std::move(jobs[j]));
        return sorted;
    }

    // A thread of the pool: takes jobs until told to stop.
    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        try {
            lock.unlock();
            EntryWriter writer(baseDir_, input_, directory_, false);
            lock.lock();
            for (;;) {
                workReady_.wait(lock, [this] { return stop_ || (!holding_ && !queue_.empty()); });
                if (stop_) return;
                std::vector<size_t> job = std::move(queue_.front());
                queue_.pop_front();
                for (size_t i : job) {
                    if (stop_) return;
                    const zip::Entry& e = *selected_[i];
                    lock.unlock();
                    std::wstring error = writer.Extract(e, [&](uint64_t written) {
                        std::lock_guard<std::mutex> guard(mutex_);
                        slots_[i].fraction = double(written) / double(e.uncompressedSize);
                        Announce();
                    });
                    lock.lock();
                    slots_[i] = {1.0, true, std::move(error)};
                    Announce();
                }
            }
        } catch (...) {
            if (!lock.owns_lock()) lock.lock();
            crash_ = std::current_exception();
            Announce();
        }
    }

    void Announce() {
        ++newsCount_;
        news_.notify_one();
    }

    // A retried entry starts again from nothing; the bar stays where it was.
    void Progress(double percent) {
        if (canceled_ || !reader_.OnOverallProgress || percent <= shown_) return;
        shown_ = percent;
        bool cancel = false;
        reader_.OnOverallProgress(percent, cancel);
        if (cancel) canceled_ = true;
    }

    TZFProcessFileFailureAction Failed(const zip::Entry& e, const std::wstring& error) {
        TZFProcessFileFailureAction action = fxaIgnore;
        if (reader_.OnProcessFileFailure) reader_.OnProcessFileFailure(e.name, error, action);
        return action;
    }

    // Each pool thread holds its own buffers (about 0.6 MB); more threads
    // would cost memory and gain little, since the disk is shared.
    static constexpr size_t kMaxThreads = 8;

    struct Slot {
        double fraction = 0;  // of the entry's bytes written
        bool done = false;
        std::wstring error;  // of a done entry; empty when it was extracted
    };

    ArchiveReader& reader_;
    const std::wstring baseDir_;  // a copy: the pool reads it while handlers run
    files::InputFile& input_;
    const zip::Directory& directory_;
    bool& canceled_;
    std::vector<const zip::Entry*> selected_;
    double shown_ = -1;  // the last progress reported

    // The pool's state, under mutex_.
    std::mutex mutex_;
    std::condition_variable workReady_;  // for the pool: jobs, holding_ or stop_ changed
    std::condition_variable news_;       // for the caller: newsCount_ grew
    std::deque<std::vector<size_t>> queue_;
    std::vector<Slot> slots_;
    uint64_t newsCount_ = 0;
    bool holding_ = false;
    bool stop_ = false;
    std::exception_ptr crash_;
    std::vector<std::thread> threads_;
};

}  // namespace

void ArchiveReader::ExtractFiles() {
    if (!state_) throw ArchiveError(L"Archív nie je otvorený");
    State& s = *state_;
    s.canceled = false;
    Extraction(*this, s.input, s.directory, s.canceled).Run();
}

ArchiveSurvey SurveyArchive(const std::wstring& archive) {
    files::InputFile input;
    zip::Directory directory;
    std::wstring error;
    if (!input.Open(archive, error)) throw ArchiveError(error);
    error = zip::ReadDirectory(input, files::DecodeOemName, directory);
    if (!error.empty()) throw ArchiveError(error + L": " + archive);
    ArchiveSurvey survey;
    std::vector<std::wstring> parts;
    for (const zip::Entry& e : directory.entries) {
        error = EntryProblem(e, parts);
        if (!error.empty()) {
            if (survey.problem.empty()) survey.problem = e.name + L": " + error;
            continue;
        }
        std::wstring path = Join(L"", parts, parts.size());
        (e.isFolder ? survey.folders : survey.files).push_back(std::move(path));
        if (!e.isFolder) survey.totalBytes += e.uncompressedSize;
    }
    return survey;
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

}  // namespace archive
