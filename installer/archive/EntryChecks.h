// What every way of reading entries checks first: that the archive opens
// and its directory is sound, and whether an entry can be extracted at all.
#pragma once

#include <string>
#include <vector>

#include "archive/ArchiveFiles.h"
#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive {

inline constexpr wchar_t kDamagedData[] = L"Poškodené alebo neúplné údaje súboru";
inline constexpr wchar_t kBadCrc[] = L"Chybný kontrolný súčet (CRC) súboru";

// Opens the archive and reads its central directory; raises ArchiveError
// when the file cannot be opened or is not a readable ZIP archive.
void OpenDirectory(const std::wstring& archive, files::InputFile& input, zip::Directory& directory);

// Why the entry cannot be extracted, judged from the central directory
// alone (a name leading out of the folder, encryption, an unsupported
// method). parts receives its safe path.
Outcome EntryProblem(const zip::Entry& e, std::vector<std::wstring>& parts);

// base with the first count parts appended, the platform's separator
// between them.
std::wstring JoinPath(std::wstring base, const std::vector<std::wstring>& parts, size_t count);

}  // namespace archive
