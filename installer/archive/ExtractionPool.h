// One run of ArchiveReader::ExtractFiles: the selected entries, the events,
// the cancel state. Several entries are extracted at once on a small pool
// of threads; the events stay on the caller's thread, failures in entry
// order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/ArchiveFiles.h"
#include "archive/ArchiveReader.h"
#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive {

class ExtractionPool {
public:
    ExtractionPool(ArchiveReader& reader, files::InputFile& input, const zip::Directory& directory,
                   bool& canceled)
        : reader_(reader),
          baseDir_(reader.BaseDir),
          input_(input),
          directory_(directory),
          canceled_(canceled) {}
    // Whatever way the run ends, the pool finishes the entries in hand
    // (their temporary files become files or go) and starts no more.
    ~ExtractionPool();
    ExtractionPool(const ExtractionPool&) = delete;
    ExtractionPool& operator=(const ExtractionPool&) = delete;

    void Run();

private:
    using Job = std::vector<size_t>;  // indexes into selected_

    void Select();
    bool RunHere();
    bool RunPool();
    void StartThreads(std::vector<Job> jobs);
    bool HandOutFailures(std::unique_lock<std::mutex>& lock, size_t& next);
    bool ReportPoolProgress(std::unique_lock<std::mutex>& lock);
    bool Stop();
    std::vector<Job> Schedule() const;
    void Work();
    void Announce();
    void Progress(double percent);
    TZFProcessFileFailureAction Failed(const zip::Entry& e, const std::wstring& error);

    // Each pool thread holds its own buffers (about 0.6 MB); more threads
    // would cost memory and gain little, since the disk is shared.
    static constexpr size_t kMaxThreads = 8;

    struct Slot {
        double fraction = 0;  // of the entry's bytes written
        bool done = false;
        Outcome outcome;  // of a done entry
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
    std::deque<Job> queue_;
    std::vector<Slot> slots_;
    uint64_t newsCount_ = 0;
    bool holding_ = false;
    bool stop_ = false;
    std::exception_ptr crash_;
    std::vector<std::thread> threads_;
};

}  // namespace archive
