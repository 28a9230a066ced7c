#include "environment/ImageVersion.h"

#include <vector>

namespace environment {

namespace {

// Little-endian reads that fail instead of reading past the end.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> data) : data_(data) {}

    std::optional<uint32_t> U16(uint64_t at) const { return Read(at, 2); }
    std::optional<uint32_t> U32(uint64_t at) const { return Read(at, 4); }
    bool Holds(uint64_t at, uint64_t length) const {
        return at <= data_.size() && length <= data_.size() - at;
    }

private:
    std::optional<uint32_t> Read(uint64_t at, unsigned width) const {
        if (!Holds(at, width)) return std::nullopt;
        uint32_t value = 0;
        for (unsigned i = width; i-- > 0;) value = value << 8 | data_[at + i];
        return value;
    }
    std::span<const uint8_t> data_;
};

struct Section {
    uint32_t address = 0;  // relative virtual address
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

constexpr uint32_t kResourceDirectory = 2;  // index among the data directories
constexpr uint32_t kVersionType = 16;       // RT_VERSION
constexpr uint32_t kVersionName = 1;        // VS_VERSION_INFO
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kFixedSignature = 0xFEEF04BDu;

// The image's layout: where its sections lie and where the resources begin.
struct Layout {
    std::vector<Section> sections;
    uint32_t resources = 0;  // relative virtual address

    // The file offset of a relative virtual address with `length` bytes
    // behind it in the same section's data in the file.
    std::optional<uint64_t> Offset(uint64_t rva, uint64_t length) const {
        for (const Section& s : sections) {
            const uint64_t size = s.rawSize;
            if (rva >= s.address && rva - s.address <= size && length <= size - (rva - s.address))
                return uint64_t(s.rawOffset) + (rva - s.address);
        }
        return std::nullopt;
    }
};

std::optional<Layout> ReadLayout(const Bytes& b) {
    if (b.U16(0) != 0x5A4Du) return std::nullopt;  // "MZ"
    const auto pe = b.U32(0x3C);
    if (!pe || b.U32(*pe) != 0x00004550u) return std::nullopt;  // "PE\0\0"
    const uint64_t coff = uint64_t(*pe) + 4, optional = coff + 20;
    const auto sectionCount = b.U16(coff + 2), optionalSize = b.U16(coff + 16);
    const auto magic = b.U16(optional);
    if (!sectionCount || !optionalSize || !magic) return std::nullopt;
    // PE32 and PE32+ differ in where the data directories start.
    const uint64_t directories = optional + (*magic == 0x20Bu ? 112 : 96);
    const auto directoryCount = b.U32(directories - 4);
    if ((*magic != 0x10Bu && *magic != 0x20Bu) || !directoryCount ||
        *directoryCount <= kResourceDirectory || directories + 24 > optional + *optionalSize)
        return std::nullopt;
    Layout layout;
    layout.resources = b.U32(directories + 8 * kResourceDirectory).value_or(0);
    const uint64_t table = optional + *optionalSize;
    if (layout.resources == 0 || !b.Holds(table, uint64_t(*sectionCount) * 40)) return std::nullopt;
    for (uint64_t i = 0, at = table; i < *sectionCount; ++i, at += 40)
        layout.sections.push_back({*b.U32(at + 12), *b.U32(at + 16), *b.U32(at + 20)});
    return layout;
}

// The entry of a resource directory with the given numeric id (or the
// first entry when `id` is empty): its offset within the resources and
// whether it leads to another directory.
struct DirectoryEntry {
    uint32_t offset = 0;
    bool subdirectory = false;
};

std::optional<DirectoryEntry> FindEntry(const Bytes& b, uint64_t directory,
                                        std::optional<uint32_t> id) {
    const auto named = b.U16(directory + 12), numbered = b.U16(directory + 14);
    if (!named || !numbered) return std::nullopt;
    const uint64_t first = directory + 16, count = uint64_t(*named) + *numbered;
    for (uint64_t i = id ? *named : 0; i < count; ++i) {
        const auto name = b.U32(first + 8 * i), target = b.U32(first + 8 * i + 4);
        if (!name || !target) return std::nullopt;
        if (!id || *name == *id)
            return DirectoryEntry{*target & ~kSubdirectory, (*target & kSubdirectory) != 0};
    }
    return std::nullopt;
}

// The version resource's bytes: file offset and size. Type and name lead
// to directories, the first language to the data entry.
std::optional<std::pair<uint64_t, uint32_t>> FindVersionData(const Bytes& b, const Layout& l) {
    std::optional<uint64_t> at = l.Offset(l.resources, 16);
    const std::optional<uint32_t> path[] = {kVersionType, kVersionName, std::nullopt};
    for (size_t level = 0; at && level < 3; ++level) {
        const auto entry = FindEntry(b, *at, path[level]);
        if (!entry || entry->subdirectory != (level < 2)) return std::nullopt;
        at = l.Offset(uint64_t(l.resources) + entry->offset, 16);
    }
    if (!at) return std::nullopt;
    const auto dataRva = b.U32(*at), size = b.U32(*at + 4);
    if (!dataRva || !size) return std::nullopt;
    const auto data = l.Offset(*dataRva, *size);
    if (!data) return std::nullopt;
    return std::pair{*data, *size};
}

// VS_FIXEDFILEINFO of a VS_VERSIONINFO block: behind the header (three
// words), the key "VS_VERSION_INFO" and padding to a 32-bit boundary.
std::optional<FileVersion> ReadFixedInfo(const Bytes& b, uint64_t block, uint32_t size) {
    const auto valueLength = b.U16(block + 2);
    uint64_t at = block + 6;
    while (at + 2 <= block + size && b.U16(at).value_or(0) != 0) at += 2;
    at = block + ((at + 2 - block + 3) & ~uint64_t(3));
    constexpr uint32_t kFixedSize = 52;
    if (!valueLength || *valueLength < kFixedSize || at + kFixedSize > block + size ||
        b.U32(at) != kFixedSignature)
        return std::nullopt;
    const uint32_t ms = *b.U32(at + 8), ls = *b.U32(at + 12);
    return FileVersion{ms >> 16, ms & 0xFFFFu, ls >> 16, ls & 0xFFFFu};
}

}  // namespace

std::optional<FileVersion> ReadImageVersion(std::span<const uint8_t> image) {
    const Bytes bytes(image);
    const std::optional<Layout> layout = ReadLayout(bytes);
    if (!layout) return std::nullopt;
    const auto data = FindVersionData(bytes, *layout);
    if (!data || !bytes.Holds(data->first, data->second)) return std::nullopt;
    return ReadFixedInfo(bytes, data->first, data->second);
}

}  // namespace environment
