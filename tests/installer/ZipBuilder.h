// Builds small ZIP archives in memory for the archive tests, including the
// damaged and hostile kinds no archiver would write.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

struct ZipItem {
    std::string name;  // stored bytes
    std::string data;
    bool deflate = true;
    uint16_t flags = 0;
    uint16_t method = 0xFFFF;  // 0xFFFF: 8 or 0 by deflate
    uint8_t host = 0;          // 0 DOS, 3 Unix
    uint32_t externalAttributes = 0;
    std::optional<uint32_t> crc;             // override the true CRC
    std::optional<uint32_t> compressedSize;  // override the true sizes
    std::optional<uint32_t> uncompressedSize;
};

inline std::string Deflate(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

class ZipBuilder {
public:
    ZipBuilder& Add(ZipItem item) {
        items_.push_back(std::move(item));
        return *this;
    }
    ZipBuilder& File(const std::string& name, const std::string& data, bool deflate = true) {
        ZipItem item;
        item.name = name;
        item.data = data;
        item.deflate = deflate;
        return Add(item);
    }
    ZipBuilder& Folder(const std::string& name) {
        ZipItem item;
        item.name = name;
        item.deflate = false;
        item.externalAttributes = 0x10;
        return Add(item);
    }

    // zip64: sizes, offsets and counts only in the ZIP64 extra fields and end
    // records, as archivers write them for large archives.
    std::string Build(const std::string& comment = "", bool zip64 = false) const {
        std::string out, central;
        for (const ZipItem& it : items_) {
            std::string packed = it.deflate ? Deflate(it.data) : it.data;
            uint16_t method = it.method != 0xFFFF ? it.method : (it.deflate ? 8 : 0);
            uint32_t crc = it.crc.value_or(uint32_t(
                crc32(0, reinterpret_cast<const Bytef*>(it.data.data()), uInt(it.data.size()))));
            uint32_t csize = it.compressedSize.value_or(uint32_t(packed.size()));
            uint32_t usize = it.uncompressedSize.value_or(uint32_t(it.data.size()));
            uint32_t offset = uint32_t(out.size());

            Put32(out, 0x04034b50);
            Put16(out, 20);
            Put16(out, it.flags);
            Put16(out, method);
            Put32(out, 0);  // time, date
            Put32(out, crc);
            Put32(out, zip64 ? 0xFFFFFFFF : csize);
            Put32(out, zip64 ? 0xFFFFFFFF : usize);
            Put16(out, uint16_t(it.name.size()));
            Put16(out, zip64 ? 20 : 0);
            out += it.name;
            if (zip64) {
                Put16(out, 1);
                Put16(out, 16);
                Put64(out, usize);
                Put64(out, csize);
            }
            out += packed;

            Put32(central, 0x02014b50);
            Put16(central, uint16_t(it.host << 8 | 20));
            Put16(central, 20);
            Put16(central, it.flags);
            Put16(central, method);
            Put32(central, 0);
            Put32(central, crc);
            Put32(central, zip64 ? 0xFFFFFFFF : csize);
            Put32(central, zip64 ? 0xFFFFFFFF : usize);
            Put16(central, uint16_t(it.name.size()));
            Put16(central, zip64 ? 28 : 0);
            Put16(central, 0);
            Put16(central, 0);
            Put16(central, 0);
            Put32(central, it.externalAttributes);
            Put32(central, zip64 ? 0xFFFFFFFF : offset);
            central += it.name;
            if (zip64) {
                Put16(central, 1);
                Put16(central, 24);
                Put64(central, usize);
                Put64(central, csize);
                Put64(central, offset);
            }
        }
        uint32_t directoryOffset = uint32_t(out.size());
        out += central;
        if (zip64) {
            uint64_t record = out.size();
            Put32(out, 0x06064b50);
            Put64(out, 44);
            Put16(out, 45);
            Put16(out, 45);
            Put32(out, 0);
            Put32(out, 0);
            Put64(out, items_.size());
            Put64(out, items_.size());
            Put64(out, central.size());
            Put64(out, directoryOffset);
            Put32(out, 0x07064b50);
            Put32(out, 0);
            Put64(out, record);
            Put32(out, 1);
        }
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, zip64 ? 0xFFFF : uint16_t(items_.size()));
        Put16(out, zip64 ? 0xFFFF : uint16_t(items_.size()));
        Put32(out, zip64 ? 0xFFFFFFFF : uint32_t(central.size()));
        Put32(out, zip64 ? 0xFFFFFFFF : directoryOffset);
        Put16(out, uint16_t(comment.size()));
        out += comment;
        return out;
    }

private:
    static void Put16(std::string& s, uint16_t v) {
        s += char(v & 0xFF);
        s += char(v >> 8);
    }
    static void Put32(std::string& s, uint32_t v) {
        Put16(s, uint16_t(v & 0xFFFF));
        Put16(s, uint16_t(v >> 16));
    }
    static void Put64(std::string& s, uint64_t v) {
        Put32(s, uint32_t(v));
        Put32(s, uint32_t(v >> 32));
    }

    std::vector<ZipItem> items_;
};

// Bytes that compress well but are not trivially repetitive.
inline std::string Pattern(size_t size, uint32_t seed = 1) {
    std::string s(size, '\0');
    uint32_t x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char("abcdefgh\r\n"[(x >> 16) % 10]);
    }
    return s;
}

}  // namespace ziptest
