// Checksums and writes an entry's data. With a thread of its own it does so
// while the caller inflates the next chunk (one entry alone gets two cores
// that way); without, at once on the caller's thread (the pool's workers,
// which keep every core busy already). Chunks are written in the order
// submitted; the caller keeps every decision.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive {

// Big enough that system calls and events are few, small enough that the
// reader's memory stays flat whatever the archive's size.
inline constexpr size_t kInputChunk = 256 * 1024;
inline constexpr size_t kOutputChunk = 256 * 1024;

class ChunkPipeline {
public:
    using Buffer = std::vector<unsigned char>;

    explicit ChunkPipeline(bool threaded);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // Starts an entry; the writer is idle (after Finish).
    void Begin(zip::ByteSink& sink);
    bool Failed() const { return failed_; }

    Buffer& Acquire();
    void Release(Buffer& b);
    void Submit(Buffer& b, size_t n);

    // Waits until every submitted chunk is written; the first write error.
    Outcome Finish();
    // The CRC-32 of the entry's chunks, once Finish has returned.
    uint32_t Crc() const { return crc_; }

private:
    struct Job {
        Buffer* buffer;
        size_t size;
    };

    void Write(const Buffer& b, size_t n);
    void Run();

    std::vector<Buffer> buffers_;
    std::vector<Buffer*> free_;
    std::deque<Job> queue_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;
    bool stop_ = false;
    zip::ByteSink* sink_ = nullptr;
    uint32_t crc_ = 0;  // written by the writing thread, read after Finish
    Outcome error_;     // likewise
    std::atomic<bool> failed_{false};
    std::thread worker_;
};

}  // namespace archive
