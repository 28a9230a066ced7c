// The backup action's start block, made from the database name and the
// backup file argument: one or more files, one a line, each with an
// optional "=size".
#pragma once

#include <string>

namespace quenlet {

// The start block of the backup action for these arguments. Throws
// ToolError for a size that is not an integer or a value too long for its
// length field.
std::string BackupStartBlock(const std::wstring& database, const std::wstring& backupFile);

}  // namespace quenlet
