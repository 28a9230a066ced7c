// The backup step: the server's services manager writes the backup, the
// tool starts the action and reads its verbose output to the end.
#pragma once

#include <string>

#include "StepResult.h"

namespace quenlet {

// Done when the backup action was started and its output read to the end
// without an error; Failed with the error's message otherwise. A failed
// detach at the end is not caught: its ToolError escapes, also after a
// complete backup.
StepResult BackupDatabase(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database, const std::wstring& backupFile);

}  // namespace quenlet
