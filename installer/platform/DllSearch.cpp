#include "platform/DllSearch.h"

#include <windows.h>

namespace platform {

void LimitDllSearchToSystemDir() {
    // Bound at run time: a static import of it would keep an unpatched
    // Windows 7 from starting the program at all.
    using Function = decltype(&SetDefaultDllDirectories);
    const auto limit = reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (limit) limit(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace platform
