// Versions of the server's files, on disk and inside the kit, and their
// text forms.
#pragma once

#include <optional>
#include <string>

#include "environment/ImageVersion.h"

namespace environment {

// Version text forms.
inline constexpr int kVersionNumberForm = 1;  // "004000005": three digits each
inline constexpr int kVersionDottedForm = 2;  // "4.0.5"

// Major, minor and release in the given form; empty for any other form.
std::wstring FormatVersion(unsigned major, unsigned minor, unsigned release, int form);
std::wstring FormatVersion(const FileVersion& version, int form);

// The file's version (from its fixed version information) in the given
// form; empty when the file is missing, has no version resource or cannot
// be read.
std::wstring GetFileVersionText(const std::wstring& path, int form);

// The version of `entry` inside the archive, read from the entry's bytes in
// memory. Nothing when the archive or the entry is missing or the entry
// declares no version.
std::optional<FileVersion> ReadEntryVersion(const std::wstring& archive, const std::wstring& entry);

}  // namespace environment
