// The backup step: the server's services manager writes the backup, the
// tool starts the action and reads its verbose output to the end.
#pragma once

#include <string>

namespace quenlet {

// True when the backup action was started and its output read to the end
// without an error; ErrorText untouched then. False with the error's message
// in ErrorText otherwise. A failed detach at the end is not caught: its
// ToolError escapes, also after a complete backup.
bool BackupDatabase(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& database, std::wstring& ErrorText,
                    const std::wstring& backupFile);

// The start block of the backup action for these arguments. Throws
// ToolError for a size that is not an integer or a value too long for its
// length field.
std::string BackupStartBlock(const std::wstring& database, const std::wstring& backupFile);

}  // namespace quenlet
