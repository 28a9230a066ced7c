#include "archive/ArchiveReader.h"
#include "archive/ArchiveSize.h"
#include "platform/Errors.h"

namespace archive {

int32_t GetArchiveSize(const std::wstring& archive) {
    try {
        return ArchiveTotalSize(archive);
    } catch (const ArchiveError& e) {
        throw platform::Error(e.Message());
    }
}

}  // namespace archive
