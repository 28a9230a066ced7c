// The client library binding: bound by its plain file name on the first
// call and kept for the rest of the process.
#pragma once

#include "ClientApi.h"

namespace quenlet {

// Throws ToolError when the library cannot be loaded ("InterBase library ...
// not found in the path...", with the system's reason on a line below) or
// lacks an entry point (the platform's error for a missing procedure); a
// failed binding is tried again on the next use.
class ClientLibrary {
public:
    static const client::EntryPoints& Get();
};

}  // namespace quenlet
