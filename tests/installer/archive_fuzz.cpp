// libFuzzer target for the ZIP directory and header parsing: any bytes must
// give either entries whose data lies inside the archive or a failed outcome,
// never a read outside the input. Built by scripts/fuzz with clang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/ArchiveText.h"
#include "archive/PathSafety.h"
#include "archive/Wildcards.h"
#include "archive/ZipRecords.h"

using namespace archive::zip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    Directory dir;
    if (!ReadDirectory(source, DecodeCp852, dir).Ok()) {
        if (!dir.entries.empty()) std::abort();  // a failed read leaves no entries
        return 0;
    }
    std::vector<std::wstring> parts;
    for (const Entry& e : dir.entries) {
        uint64_t offset = 0;
        if (LocateData(source, dir, e, offset).Ok() &&
            (offset > size || e.compressedSize > size - offset))
            std::abort();
        if (SplitSafePath(e.name, parts))
            for (const std::wstring& part : parts)
                if (part == L".." || part.find_first_of(L"\\/:") != std::wstring::npos)
                    std::abort();
        MatchesMask(e.name, L"*\\*.d?l");
        if (DecodeUtf8(EncodeUtf8(e.name)) != e.name && (e.flags & kUtf8Name) == 0) {
            // code page 852 text has no surrogates, so it survives the round trip
            std::abort();
        }
    }
    return 0;
}
