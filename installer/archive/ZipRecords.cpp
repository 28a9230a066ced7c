#include "archive/ZipRecords.h"

#include <algorithm>
#include <cstring>

#include "archive/ArchiveText.h"

namespace archive::zip {

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kMaxComment = 0xFFFF;
constexpr uint16_t kZip64Extra = 0x0001;

// A bounds-checked little-endian cursor over bytes in memory; once a read
// runs past the end it stays failed and reads give 0.
class Cursor {
public:
    Cursor(const unsigned char* p, size_t n) : p_(p), n_(n) {}
    uint16_t U16() { return uint16_t(Take(2)); }
    uint32_t U32() { return uint32_t(Take(4)); }
    uint64_t U64() { return Take(8); }
    std::string_view Bytes(size_t n) {
        if (failed_ || n > n_ - pos_) return Fail(), std::string_view();
        std::string_view v(reinterpret_cast<const char*>(p_ + pos_), n);
        pos_ += n;
        return v;
    }
    void Skip(size_t n) { Bytes(n); }
    bool ok() const { return !failed_; }
    size_t remaining() const { return failed_ ? 0 : n_ - pos_; }

private:
    uint64_t Take(size_t width) {
        if (failed_ || width > n_ - pos_) return Fail(), 0;
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i) v |= uint64_t(p_[pos_ + i]) << (8 * i);
        pos_ += width;
        return v;
    }
    void Fail() { failed_ = true; }

    const unsigned char* p_;
    size_t n_;
    size_t pos_ = 0;
    bool failed_ = false;
};

bool ReadExactly(ByteSource& source, uint64_t offset, std::vector<unsigned char>& buffer,
                 size_t count) {
    if (offset > source.Size() || count > source.Size() - offset) return false;
    buffer.resize(count);
    return count == 0 || source.ReadAt(offset, buffer.data(), count) == count;
}

const wchar_t kNotZip[] = L"Súbor nie je archív ZIP";
const wchar_t kDamaged[] = L"Poškodený adresár archívu ZIP";
const wchar_t kMultiPart[] = L"Archív rozdelený na viac častí nie je podporovaný";
const wchar_t kUnreadable[] = L"Súbor sa nedá čítať";
const wchar_t kBadLocalHeader[] = L"Poškodená hlavička súboru v archíve";

struct EndRecord {
    uint64_t endOffset = 0;  // where the end record (or the ZIP64 one) starts
    uint64_t entries = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
};

Outcome ReadZip64End(ByteSource& source, uint64_t endOffset, EndRecord& end) {
    if (endOffset < kZip64LocatorSize) return Outcome::Fail(kDamaged);
    std::vector<unsigned char> buf;
    if (!ReadExactly(source, endOffset - kZip64LocatorSize, buf, kZip64LocatorSize))
        return Outcome::Fail(kDamaged);
    Cursor loc(buf.data(), buf.size());
    if (loc.U32() != kZip64LocatorSignature) return Outcome::Fail(kDamaged);
    uint32_t disk = loc.U32();
    uint64_t recordOffset = loc.U64();
    uint32_t disks = loc.U32();
    if (disk != 0 || disks > 1) return Outcome::Fail(kMultiPart);
    if (recordOffset > endOffset - kZip64LocatorSize ||
        !ReadExactly(source, recordOffset, buf, kZip64EndSize))
        return Outcome::Fail(kDamaged);
    Cursor rec(buf.data(), buf.size());
    if (rec.U32() != kZip64EndSignature) return Outcome::Fail(kDamaged);
    rec.Skip(8 + 2 + 2 + 4 + 4);  // record size, versions, disk numbers
    uint64_t onDisk = rec.U64();
    end.entries = rec.U64();
    end.directorySize = rec.U64();
    end.directoryOffset = rec.U64();
    end.endOffset = recordOffset;
    if (onDisk != end.entries) return Outcome::Fail(kMultiPart);
    return {};
}

Outcome FindEnd(ByteSource& source, EndRecord& end) {
    uint64_t size = source.Size();
    if (size < kEndSize) return Outcome::Fail(kNotZip);
    size_t window = size_t(std::min<uint64_t>(size, kEndSize + kMaxComment));
    std::vector<unsigned char> tail;
    if (!ReadExactly(source, size - window, tail, window)) return Outcome::Fail(kUnreadable);
    for (size_t i = window - kEndSize + 1; i-- > 0;) {
        Cursor c(tail.data() + i, window - i);
        if (c.U32() != kEndSignature) continue;
        uint16_t disk = c.U16(), directoryDisk = c.U16();
        uint16_t onDisk = c.U16(), total = c.U16();
        uint32_t directorySize = c.U32(), directoryOffset = c.U32();
        uint16_t commentLength = c.U16();
        if (commentLength > c.remaining()) continue;  // a signature inside the comment
        if (disk != 0 || directoryDisk != 0 || onDisk != total) return Outcome::Fail(kMultiPart);
        end.endOffset = size - window + i;
        end.entries = total;
        end.directorySize = directorySize;
        end.directoryOffset = directoryOffset;
        if (total == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
            return ReadZip64End(source, end.endOffset, end);
        return {};
    }
    return Outcome::Fail(kNotZip);
}

// Replaces the fields that the central header marks as too large with the
// values of the ZIP64 extra field, in the order the format gives them.
bool ApplyZip64Extra(std::string_view extra, Entry& e, bool needUsize, bool needCsize,
                     bool needOffset) {
    Cursor c(reinterpret_cast<const unsigned char*>(extra.data()), extra.size());
    while (c.remaining() >= 4) {
        uint16_t id = c.U16(), length = c.U16();
        std::string_view body = c.Bytes(length);
        if (!c.ok()) return false;
        if (id != kZip64Extra) continue;
        Cursor z(reinterpret_cast<const unsigned char*>(body.data()), body.size());
        if (needUsize) e.uncompressedSize = z.U64();
        if (needCsize) e.compressedSize = z.U64();
        if (needOffset) e.localOffset = z.U64();
        return z.ok();
    }
    return !(needUsize || needCsize || needOffset);
}

Outcome ParseEntry(Cursor& c, NameDecoder oemDecoder, Entry& e) {
    if (c.U32() != kCentralSignature) return Outcome::Fail(kDamaged);
    uint16_t madeBy = c.U16();
    c.U16();  // version needed
    e.flags = c.U16();
    e.method = c.U16();
    c.U32();  // time and date
    e.crc = c.U32();
    uint32_t csize = c.U32(), usize = c.U32();
    uint16_t nameLength = c.U16(), extraLength = c.U16(), commentLength = c.U16();
    uint16_t disk = c.U16();
    c.U16();  // internal attributes
    e.externalAttributes = c.U32();
    uint32_t offset = c.U32();
    e.rawName = std::string(c.Bytes(nameLength));
    std::string_view extra = c.Bytes(extraLength);
    c.Skip(commentLength);
    if (!c.ok()) return Outcome::Fail(kDamaged);

    e.host = uint8_t(madeBy >> 8);
    e.compressedSize = csize;
    e.uncompressedSize = usize;
    e.localOffset = offset;
    if (!ApplyZip64Extra(extra, e, usize == 0xFFFFFFFF, csize == 0xFFFFFFFF, offset == 0xFFFFFFFF))
        return Outcome::Fail(kDamaged);
    if (disk != 0 && disk != 0xFFFF) return Outcome::Fail(kMultiPart);

    e.name = (e.flags & kUtf8Name) || !oemDecoder ? DecodeUtf8(e.rawName) : oemDecoder(e.rawName);
    std::replace(e.name.begin(), e.name.end(), L'/', L'\\');
    e.isFolder = (!e.name.empty() && e.name.back() == L'\\') ||
                 ((e.host == kHostDos || e.host == kHostNtfs) && (e.externalAttributes & 0x10));
    return {};
}

}  // namespace

size_t MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset >= size_) return 0;
    size_t n = std::min<uint64_t>(count, size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

Outcome ReadDirectory(ByteSource& source, NameDecoder oemDecoder, Directory& out) {
    out = Directory();
    EndRecord end;
    if (Outcome found = FindEnd(source, end); !found.Ok()) return found;
    if (end.directoryOffset > end.endOffset ||
        end.directorySize > end.endOffset - end.directoryOffset)
        return Outcome::Fail(kDamaged);
    // Each entry takes at least its fixed header, which bounds a lying count
    // before anything is reserved for it.
    if (end.entries > end.directorySize / kCentralSize) return Outcome::Fail(kDamaged);

    std::vector<unsigned char> buf;
    if (!ReadExactly(source, end.directoryOffset, buf, size_t(end.directorySize)))
        return Outcome::Fail(kUnreadable);
    Cursor c(buf.data(), buf.size());
    out.entries.resize(size_t(end.entries));
    for (Entry& e : out.entries)
        if (Outcome parsed = ParseEntry(c, oemDecoder, e); !parsed.Ok()) {
            out.entries.clear();
            return parsed;
        }
    out.directoryOffset = end.directoryOffset;
    return {};
}

Outcome LocateData(ByteSource& source, const Directory& dir, const Entry& entry,
                   uint64_t& dataOffset) {
    std::vector<unsigned char> buf;
    if (entry.localOffset >= dir.directoryOffset ||
        !ReadExactly(source, entry.localOffset, buf, kLocalSize))
        return Outcome::Fail(kBadLocalHeader);
    Cursor c(buf.data(), buf.size());
    if (c.U32() != kLocalSignature) return Outcome::Fail(kBadLocalHeader);
    c.Skip(22);
    uint16_t nameLength = c.U16(), extraLength = c.U16();
    uint64_t start = entry.localOffset + kLocalSize + nameLength + extraLength;
    if (start > dir.directoryOffset || entry.compressedSize > dir.directoryOffset - start)
        return Outcome::Fail(L"Neúplné údaje súboru v archíve");
    dataOffset = start;
    return {};
}

}  // namespace archive::zip
