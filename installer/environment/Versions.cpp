#include "environment/Versions.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "archive/ArchiveReader.h"

namespace environment {

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

std::optional<FileVersion> ReadFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                       HIWORD(fixed->dwFileVersionLS)};
}

std::optional<FileVersion> ReadEntryVersion(const std::wstring& archive,
                                            const std::wstring& entry) {
    const std::optional<std::vector<uint8_t>> bytes = archive::ReadEntryBytes(archive, entry);
    if (!bytes) return std::nullopt;
    return ReadImageVersion(*bytes);
}

}  // namespace environment
