// ZIP container reading without any file system: the end record, the
// central directory and the local headers, from any random-access source.
// Every length read from the archive is checked against what remains, so a
// damaged or hostile archive yields a failed outcome, never a read past a
// buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Outcome.h"

namespace archive::zip {

// Bytes of the archive by offset. ReadAt returns how many bytes it read
// (short at the end of the source, 0 on failure).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    virtual size_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

// Where an entry's data goes, chunk by chunk in order: a file or memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Outcome Write(const void* data, size_t count) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;

private:
    const unsigned char* data_;
    size_t size_;
};

enum Method : uint16_t { kStored = 0, kDeflated = 8 };
enum Flag : uint16_t { kEncrypted = 0x0001, kStrongEncryption = 0x0040, kUtf8Name = 0x0800 };
enum Host : uint8_t { kHostDos = 0, kHostUnix = 3, kHostNtfs = 10 };

struct Entry {
    std::string rawName;  // as stored
    std::wstring name;    // decoded, with "\" as separator
    uint16_t flags = 0;
    uint16_t method = 0;
    uint8_t host = 0;  // upper byte of "version made by"
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localOffset = 0;
    uint32_t externalAttributes = 0;
    bool isFolder = false;
};

struct Directory {
    std::vector<Entry> entries;
    uint64_t directoryOffset = 0;  // entry data must end before this
};

// Turns the stored name bytes into text; the reader passes the OEM decoder
// of its platform for names not flagged UTF-8.
using NameDecoder = std::wstring (*)(std::string_view bytes);

// Reads the end record (searched backwards over at most the largest
// comment) and the whole central directory into out; on failure out holds
// no entries.
Outcome ReadDirectory(ByteSource& source, NameDecoder oemDecoder, Directory& out);

// Offset of the entry's data into dataOffset, after checking its local
// header and that the data lies inside the archive before the central
// directory.
Outcome LocateData(ByteSource& source, const Directory& dir, const Entry& entry,
                   uint64_t& dataOffset);

}  // namespace archive::zip
