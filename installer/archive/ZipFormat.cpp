#include "archive/ZipFormat.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

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

struct EndRecord {
    uint64_t endOffset = 0;  // where the end record (or the ZIP64 one) starts
    uint64_t entries = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
};

std::wstring ReadZip64End(ByteSource& source, uint64_t endOffset, EndRecord& end) {
    if (endOffset < kZip64LocatorSize) return kDamaged;
    std::vector<unsigned char> buf;
    if (!ReadExactly(source, endOffset - kZip64LocatorSize, buf, kZip64LocatorSize))
        return kDamaged;
    Cursor loc(buf.data(), buf.size());
    if (loc.U32() != kZip64LocatorSignature) return kDamaged;
    uint32_t disk = loc.U32();
    uint64_t recordOffset = loc.U64();
    uint32_t disks = loc.U32();
    if (disk != 0 || disks > 1) return L"Archív rozdelený na viac častí nie je podporovaný";
    if (recordOffset > endOffset - kZip64LocatorSize ||
        !ReadExactly(source, recordOffset, buf, kZip64EndSize))
        return kDamaged;
    Cursor rec(buf.data(), buf.size());
    if (rec.U32() != kZip64EndSignature) return kDamaged;
    rec.Skip(8 + 2 + 2 + 4 + 4);  // record size, versions, disk numbers
    uint64_t onDisk = rec.U64();
    end.entries = rec.U64();
    end.directorySize = rec.U64();
    end.directoryOffset = rec.U64();
    end.endOffset = recordOffset;
    if (onDisk != end.entries) return L"Archív rozdelený na viac častí nie je podporovaný";
    return {};
}

std::wstring FindEnd(ByteSource& source, EndRecord& end) {
    uint64_t size = source.Size();
    if (size < kEndSize) return kNotZip;
    size_t window = size_t(std::min<uint64_t>(size, kEndSize + kMaxComment));
    std::vector<unsigned char> tail;
    if (!ReadExactly(source, size - window, tail, window)) return L"Súbor sa nedá čítať";
    for (size_t i = window - kEndSize + 1; i-- > 0;) {
        Cursor c(tail.data() + i, window - i);
        if (c.U32() != kEndSignature) continue;
        uint16_t disk = c.U16(), directoryDisk = c.U16();
        uint16_t onDisk = c.U16(), total = c.U16();
        uint32_t directorySize = c.U32(), directoryOffset = c.U32();
        uint16_t commentLength = c.U16();
        if (commentLength > c.remaining()) continue;  // a signature inside the comment
        if (disk != 0 || directoryDisk != 0 || onDisk != total)
            return L"Archív rozdelený na viac častí nie je podporovaný";
        end.endOffset = size - window + i;
        end.entries = total;
        end.directorySize = directorySize;
        end.directoryOffset = directoryOffset;
        if (total == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
            return ReadZip64End(source, end.endOffset, end);
        return {};
    }
    return kNotZip;
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

std::wstring ParseEntry(Cursor& c, NameDecoder oemDecoder, Entry& e) {
    if (c.U32() != kCentralSignature) return kDamaged;
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
    if (!c.ok()) return kDamaged;

    e.host = uint8_t(madeBy >> 8);
    e.compressedSize = csize;
    e.uncompressedSize = usize;
    e.localOffset = offset;
    if (!ApplyZip64Extra(extra, e, usize == 0xFFFFFFFF, csize == 0xFFFFFFFF, offset == 0xFFFFFFFF))
        return kDamaged;
    if (disk != 0 && disk != 0xFFFF) return L"Archív rozdelený na viac častí nie je podporovaný";

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

std::wstring ReadDirectory(ByteSource& source, NameDecoder oemDecoder, Directory& out) {
    out = Directory();
    EndRecord end;
    if (std::wstring error = FindEnd(source, end); !error.empty()) return error;
    if (end.directoryOffset > end.endOffset ||
        end.directorySize > end.endOffset - end.directoryOffset)
        return kDamaged;
    // Each entry takes at least its fixed header, which bounds a lying count
    // before anything is reserved for it.
    if (end.entries > end.directorySize / kCentralSize) return kDamaged;

    std::vector<unsigned char> buf;
    if (!ReadExactly(source, end.directoryOffset, buf, size_t(end.directorySize)))
        return L"Súbor sa nedá čítať";
    Cursor c(buf.data(), buf.size());
    out.entries.resize(size_t(end.entries));
    for (Entry& e : out.entries)
        if (std::wstring error = ParseEntry(c, oemDecoder, e); !error.empty()) {
            out.entries.clear();
            return error;
        }
    out.directoryOffset = end.directoryOffset;
    return {};
}

std::wstring LocateData(ByteSource& source, const Directory& dir, const Entry& entry,
                        uint64_t& dataOffset) {
    std::vector<unsigned char> buf;
    if (entry.localOffset >= dir.directoryOffset ||
        !ReadExactly(source, entry.localOffset, buf, kLocalSize))
        return L"Poškodená hlavička súboru v archíve";
    Cursor c(buf.data(), buf.size());
    if (c.U32() != kLocalSignature) return L"Poškodená hlavička súboru v archíve";
    c.Skip(22);
    uint16_t nameLength = c.U16(), extraLength = c.U16();
    uint64_t start = entry.localOffset + kLocalSize + nameLength + extraLength;
    if (start > dir.directoryOffset || entry.compressedSize > dir.directoryOffset - start)
        return L"Neúplné údaje súboru v archíve";
    dataOffset = start;
    return {};
}

std::wstring DecodeUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    auto put = [&out](uint32_t cp) {
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            cp -= 0x10000;
            out += wchar_t(0xD800 + (cp >> 10));
            out += wchar_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += wchar_t(cp);
        }
    };
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < bytes.size();) {
        unsigned char b = bytes[i];
        size_t extra = b < 0x80             ? 0
                       : (b & 0xE0) == 0xC0 ? 1
                       : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3
                                            : 4;
        bool good = extra < 4 && extra < bytes.size() - i;
        uint32_t cp = good ? b & (extra == 0 ? 0x7F : 0x7F >> (extra + 1)) : 0;
        for (size_t k = 1; good && k <= extra; ++k) {
            unsigned char t = bytes[i + k];
            good = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (!good || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            put(0xFFFD);  // one replacement per bad lead byte, then resynchronise
            ++i;
            continue;
        }
        put(cp);
        i += extra + 1;
    }
    return out;
}

std::string EncodeUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = uint32_t(text[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() &&
            uint32_t(text[i + 1]) >= 0xDC00 && uint32_t(text[i + 1]) < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t(text[++i]) - 0xDC00);
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::wstring DecodeCp852(std::string_view bytes) {
    static const uint16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7, 0x0142, 0x00EB, 0x0150,
        0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106, 0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D,
        0x013E, 0x015A, 0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E, 0x0118, 0x0119, 0x00AC, 0x017A,
        0x010C, 0x015F, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
        0x011A, 0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x00A4, 0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
        0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580, 0x00D3, 0x00DF, 0x00D4,
        0x0143, 0x0144, 0x0148, 0x0160, 0x0161, 0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD,
        0x0163, 0x00B4, 0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
        0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
    };
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes) out += b < 0x80 ? wchar_t(b) : wchar_t(kHigh[b - 0x80]);
    return out;
}

bool SplitSafePath(const std::wstring& name, std::vector<std::wstring>& parts) {
    parts.clear();
    if (name.empty() || name[0] == L'\\' || name[0] == L'/') return false;
    if (name.find(L':') != std::wstring::npos) return false;
    std::wstring part;
    auto flush = [&]() {
        if (part.empty()) return true;
        if (part.find_first_not_of(L". ") == std::wstring::npos) return false;
        parts.push_back(part);
        part.clear();
        return true;
    };
    for (wchar_t ch : name) {
        if (ch == L'\\' || ch == L'/') {
            if (!flush()) return false;
        } else if (ch == 0) {
            return false;
        } else {
            part += ch;
        }
    }
    return flush() && !parts.empty();
}

bool MatchesMask(const std::wstring& name, const std::wstring& mask) {
    if (mask == L"*.*" || mask == L"*") return true;
    auto fold = [](wchar_t ch) { return wchar_t(std::towupper(ch)); };
    // Iterative wildcard match with one backtrack point for the last "*".
    size_t n = 0, m = 0, starM = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == L'?' || fold(mask[m]) == fold(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == L'*') {
            starM = m++;
            starN = n;
        } else if (starM != std::wstring::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

}  // namespace archive::zip
