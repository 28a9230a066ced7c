#include "archive/ChunkPipeline.h"

#include <zlib.h>

namespace archive {

ChunkPipeline::ChunkPipeline(bool threaded) : buffers_(threaded ? 3 : 1) {
    for (Buffer& b : buffers_) {
        b.resize(kOutputChunk);
        free_.push_back(&b);
    }
    if (threaded) worker_ = std::thread([this] { Run(); });
}

ChunkPipeline::~ChunkPipeline() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void ChunkPipeline::Begin(zip::ByteSink& sink) {
    sink_ = &sink;
    crc_ = 0;
    error_ = Outcome();
    failed_ = false;
}

ChunkPipeline::Buffer& ChunkPipeline::Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    Buffer* b = free_.back();
    free_.pop_back();
    return *b;
}

void ChunkPipeline::Release(Buffer& b) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(&b);
    changed_.notify_all();
}

void ChunkPipeline::Submit(Buffer& b, size_t n) {
    if (!worker_.joinable()) {
        Write(b, n);
        Release(b);
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({&b, n});
    changed_.notify_all();
}

Outcome ChunkPipeline::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
    sink_ = nullptr;
    return error_;
}

void ChunkPipeline::Write(const Buffer& b, size_t n) {
    if (failed_) return;
    crc_ = uint32_t(crc32(crc_, b.data(), uInt(n)));
    if (Outcome written = sink_->Write(b.data(), n); !written.Ok()) {
        error_ = std::move(written);
        failed_ = true;
    }
}

void ChunkPipeline::Run() {
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

}  // namespace archive
