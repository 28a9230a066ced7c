// What the file side of the reader does alike on every platform.
#include "archive/ArchiveFiles.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace archive::files {

std::wstring TemporaryName(const std::wstring& target) {
    static std::atomic<unsigned> serial{0};
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return target + L".~" + std::to_wstring(process) + L"-" + std::to_wstring(++serial);
}

}  // namespace archive::files
