// Takes an entry's data out of the archive, stored or inflated (zlib raw
// inflate), and hands it chunk by chunk to a sink, CRC-32 checked. One per
// thread: the inflater and the buffers are its own, and the archive is read
// by offset, so several can work side by side.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "archive/ChunkPipeline.h"
#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive {

// Called with the bytes of the entry written so far, after each chunk that
// does not complete it.
using EntryProgress = std::function<void(uint64_t written)>;

class EntryDecoder {
public:
    // threadedWrites: see ChunkPipeline.
    EntryDecoder(zip::ByteSource& input, bool threadedWrites)
        : input_(input), pipeline_(threadedWrites) {}
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    // The entry's data, which starts at offset, into sink: fails on a read
    // or write error, on data that does not match the sizes of the central
    // directory, and on a wrong CRC.
    Outcome Decode(const zip::Entry& e, uint64_t offset, zip::ByteSink& sink,
                   const EntryProgress& progress);

private:
    Outcome Deliver(const zip::Entry& e, ChunkPipeline::Buffer& chunk, size_t n, uint64_t& written,
                    const EntryProgress& progress);
    Outcome CopyStored(const zip::Entry& e, uint64_t offset, const EntryProgress& progress);
    Outcome Inflate(const zip::Entry& e, uint64_t offset, const EntryProgress& progress);
    bool ResetInflater();

    zip::ByteSource& input_;
    z_stream inflater_{};
    bool inflaterReady_ = false;
    std::vector<unsigned char> in_ = std::vector<unsigned char>(kInputChunk);
    ChunkPipeline pipeline_;  // last: its thread goes first
};

}  // namespace archive
