#include "environment/Versions.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "archive/ArchiveFiles.h"
#include "archive/ArchiveReader.h"

namespace environment {

namespace {

// As much as the kit's entry may hold (a client library is a few MiB).
constexpr uint64_t kMaxImageBytes = 64 * 1024 * 1024;

}  // namespace

std::wstring FormatVersion(unsigned major, unsigned minor, unsigned release, VersionForm form) {
    wchar_t text[64];
    if (form == kVersionDottedForm) {
        swprintf(text, 64, L"%u.%u.%u", major, minor, release);
        return text;
    }
    swprintf(text, 64, L"%3u%3u%3u", major, minor, release);
    std::wstring out = text;
    for (wchar_t& c : out)
        if (c == L' ') c = L'0';
    return out;
}

std::wstring FormatVersion(const FileVersion& version, VersionForm form) {
    return FormatVersion(version.major, version.minor, version.release, form);
}

std::wstring FormatVersion(const std::optional<FileVersion>& version, VersionForm form) {
    return version ? FormatVersion(*version, form) : L"";
}

// Read by our own parser, as the kit's copy is, not through version.dll: the
// installer runs elevated, and a DLL that is no KnownDLL is looked for beside
// Istrel.exe first, in a folder others may write to.
std::optional<FileVersion> ReadFileVersion(const std::wstring& path) {
    archive::files::InputFile file;
    if (!file.Open(path).Ok() || file.Size() > kMaxImageBytes) return std::nullopt;
    std::vector<uint8_t> image(size_t(file.Size()));
    if (file.ReadAt(0, image.data(), image.size()) != image.size()) return std::nullopt;
    return ReadImageVersion(image);
}

std::optional<FileVersion> ReadEntryVersion(const std::wstring& archive,
                                            const std::wstring& entry) {
    const std::optional<std::vector<uint8_t>> bytes = archive::ReadEntryBytes(archive, entry);
    if (!bytes) return std::nullopt;
    return ReadImageVersion(*bytes);
}

}  // namespace environment
