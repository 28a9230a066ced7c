// The version a Windows program image declares, read from the image's bytes
// without loading it: portable, so the kit's library can be looked at
// without writing it anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace environment {

// The file version of a fixed version information block.
struct FileVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned release = 0;
    unsigned build = 0;
};

// The file version in the image's version resource (type RT_VERSION, name 1,
// its first language): the PE headers, the resource directory and the
// VS_FIXEDFILEINFO block, every offset checked against the bytes. Nothing
// when the bytes are no PE image, have no version resource or are cut short.
std::optional<FileVersion> ReadImageVersion(std::span<const uint8_t> image);

}  // namespace environment
