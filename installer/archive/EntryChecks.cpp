#include "archive/EntryChecks.h"

#include "archive/ArchiveReader.h"
#include "archive/PathSafety.h"

namespace archive {

namespace {

const wchar_t kUnsafePath[] = L"Cesta súboru smeruje mimo cieľového priečinka";
const wchar_t kEncrypted[] = L"Súbor je zašifrovaný";

}  // namespace

void OpenDirectory(const std::wstring& archive, files::InputFile& input,
                   zip::Directory& directory) {
    if (Outcome opened = input.Open(archive); !opened.Ok()) throw ArchiveError(opened.Error());
    Outcome read = zip::ReadDirectory(input, files::DecodeOemName, directory);
    if (!read.Ok()) throw ArchiveError(read.Error() + L": " + archive);
}

Outcome EntryProblem(const zip::Entry& e, std::vector<std::wstring>& parts) {
    if (!zip::SplitSafePath(e.name, parts)) return Outcome::Fail(kUnsafePath);
    if (e.isFolder) return {};
    if (e.flags & (zip::kEncrypted | zip::kStrongEncryption)) return Outcome::Fail(kEncrypted);
    if (e.method != zip::kStored && e.method != zip::kDeflated)
        return Outcome::Fail(L"Nepodporovaná metóda kompresie (" + std::to_wstring(e.method) +
                             L")");
    if (e.method == zip::kStored && e.compressedSize != e.uncompressedSize)
        return Outcome::Fail(kDamagedData);
    return {};
}

std::wstring JoinPath(std::wstring base, const std::vector<std::wstring>& parts, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += files::kSeparator;
        base += parts[i];
    }
    return base;
}

}  // namespace archive
