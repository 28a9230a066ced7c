#include "archive/EntryDecoder.h"

#include <algorithm>

#include "archive/EntryChecks.h"

namespace archive {

EntryDecoder::~EntryDecoder() {
    if (inflaterReady_) inflateEnd(&inflater_);
}

Outcome EntryDecoder::Decode(const zip::Entry& e, uint64_t offset, zip::ByteSink& sink,
                             const EntryProgress& progress) {
    // The writing thread must be done with the sink before it goes, also
    // when an event handler throws.
    pipeline_.Begin(sink);
    struct Drain {
        ChunkPipeline& p;
        ~Drain() { static_cast<void>(p.Finish()); }
    } drain{pipeline_};
    Outcome read =
        e.method == zip::kStored ? CopyStored(e, offset, progress) : Inflate(e, offset, progress);
    if (Outcome written = pipeline_.Finish(); !written.Ok()) return written;
    if (!read.Ok()) return read;
    if (pipeline_.Crc() != e.crc) return Outcome::Fail(kBadCrc);
    return {};
}

// Hands a chunk of the entry's data to the writer and reports progress
// unless the chunk completes the entry.
Outcome EntryDecoder::Deliver(const zip::Entry& e, ChunkPipeline::Buffer& chunk, size_t n,
                              uint64_t& written, const EntryProgress& progress) {
    if (n > e.uncompressedSize - written) {
        pipeline_.Release(chunk);
        return Outcome::Fail(kDamagedData);
    }
    pipeline_.Submit(chunk, n);
    written += n;
    if (written < e.uncompressedSize) progress(written);
    return {};
}

Outcome EntryDecoder::CopyStored(const zip::Entry& e, uint64_t offset,
                                 const EntryProgress& progress) {
    uint64_t written = 0;
    while (written < e.uncompressedSize && !pipeline_.Failed()) {
        ChunkPipeline::Buffer& chunk = pipeline_.Acquire();
        size_t n = size_t(std::min<uint64_t>(chunk.size(), e.uncompressedSize - written));
        if (input_.ReadAt(offset + written, chunk.data(), n) != n) {
            pipeline_.Release(chunk);
            return Outcome::Fail(kDamagedData);
        }
        if (Outcome delivered = Deliver(e, chunk, n, written, progress); !delivered.Ok())
            return delivered;
    }
    return {};
}

bool EntryDecoder::ResetInflater() {
    if (inflaterReady_) {
        inflateReset(&inflater_);
        return true;
    }
    inflaterReady_ = inflateInit2(&inflater_, -MAX_WBITS) == Z_OK;
    return inflaterReady_;
}

Outcome EntryDecoder::Inflate(const zip::Entry& e, uint64_t offset, const EntryProgress& progress) {
    if (!ResetInflater()) return Outcome::Fail(kDamagedData);
    z_stream& zs = inflater_;
    zs.avail_in = 0;
    uint64_t remaining = e.compressedSize;
    uint64_t written = 0;
    while (!pipeline_.Failed()) {
        if (zs.avail_in == 0 && remaining > 0) {
            size_t n = size_t(std::min<uint64_t>(in_.size(), remaining));
            if (input_.ReadAt(offset, in_.data(), n) != n) return Outcome::Fail(kDamagedData);
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
        if (produced == 0) {
            pipeline_.Release(chunk);
        } else if (Outcome delivered = Deliver(e, chunk, produced, written, progress);
                   !delivered.Ok()) {
            return delivered;
        }
        if (rc == Z_STREAM_END) break;
        if (rc == Z_BUF_ERROR && zs.avail_in == 0 && remaining == 0)
            return Outcome::Fail(kDamagedData);
        if (rc != Z_OK && rc != Z_BUF_ERROR) return Outcome::Fail(kDamagedData);
    }
    if (written == e.uncompressedSize || pipeline_.Failed()) return {};
    return Outcome::Fail(kDamagedData);
}

}  // namespace archive
