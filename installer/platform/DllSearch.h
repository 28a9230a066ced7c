// Where the process looks for the DLLs it loads after start-up.
#pragma once

namespace platform {

// From now on DLLs that are loaded by name (ours, and those the system
// loads for us: COM servers, themes, their imports) come from the system
// folder only, never from the program's own folder, which others may write
// to. Call it first, before anything loads a DLL. Windows 7 without
// KB2533623 lacks SetDefaultDllDirectories; there the search stays as it
// was rather than the program failing to start.
void LimitDllSearchToSystemDir();

}  // namespace platform
