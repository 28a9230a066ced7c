// Versions of the server's files, on disk and inside the kit, and their
// text forms.
#pragma once

#include <optional>
#include <string>

#include "environment/ImageVersion.h"

namespace environment {

// Version text forms.
enum VersionForm {
    kVersionNumberForm,  // "004000005": three digits each
    kVersionDottedForm,  // "4.0.5"
};

// Major, minor and release in the given form.
std::wstring FormatVersion(unsigned major, unsigned minor, unsigned release, VersionForm form);
std::wstring FormatVersion(const FileVersion& version, VersionForm form);

// The file's version (from its fixed version information, read from the
// file's bytes as ReadImageVersion reads them); nothing when the file is
// missing, has no version resource, cannot be read or is over 64 MiB.
std::optional<FileVersion> ReadFileVersion(const std::wstring& path);

// A version in the given form; empty text for none, as the page shows it.
std::wstring FormatVersion(const std::optional<FileVersion>& version, VersionForm form);

// The version of `entry` inside the archive, read from the entry's bytes in
// memory. Nothing when the archive or the entry is missing or the entry
// declares no version (or could not be extracted); archive::ArchiveError
// when the archive cannot be read.
std::optional<FileVersion> ReadEntryVersion(const std::wstring& archive, const std::wstring& entry);

}  // namespace environment
