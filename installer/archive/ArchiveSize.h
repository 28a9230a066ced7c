// The archive's size for the progress bar, as the installer raises errors.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

// Total uncompressed size of the archive's file entries as a signed 32-bit
// number (wrapping modulo 2^32 above 2 GiB). Raises platform::Error
// "Chyba pri otváraní súboru: " + archive when the archive cannot be opened.
int32_t GetArchiveSize(const std::wstring& archive);

}  // namespace archive
