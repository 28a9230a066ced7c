#include "ToolRun.h"

#include "Backup.h"
#include "Errors.h"
#include "Platform.h"
#include "ResultFile.h"
#include "SysdbaRole.h"
#include "VersionCheck.h"

namespace quenlet {

namespace {

// Creates the role SYSDBA again after a failure that followed its drop, so
// that a failed run leaves the database as it found it. The first error
// stays first; when the creation fails too, its message follows on a line of
// its own.
void GiveBackRole(const Arguments& a, std::wstring& ErrorText) {
    StepResult created = CreateSysdbaRole(a.userName, a.password, a.database);
    if (created.IsFailed()) ErrorText += L"\r\n" + created.Message();
}

// The backup step after the role was dropped (`dropped`) or found absent. A
// failed detach still ends the run without a result file, but not with the
// role gone.
StepResult BackupOrGiveBackRole(const Arguments& a, bool dropped) {
    try {
        return BackupDatabase(a.userName, a.password, a.database, a.backupFile);
    } catch (const ToolError& e) {
        if (!dropped) throw;
        std::wstring message = e.Message();
        GiveBackRole(a, message);
        throw ToolError(e.Kind(), message);
    }
}

}  // namespace

std::wstring RunSteps(const Arguments& a) {
    // Refused before the role is dropped: a name the server would get in
    // another form must not reach it.
    try {
        platform::ToServerFileName(a.database, L"Database name");
        platform::ToServerFileName(a.backupFile, L"Backup file name");
    } catch (const ToolError& e) {
        return e.Message();
    }
    StepResult version = CheckDatabaseVersion(a.userName, a.password, a.database);
    if (version.IsFailed()) return version.Message();
    StepResult drop = DropSysdbaRole(a.userName, a.password, a.database);
    if (drop.IsFailed()) return drop.Message();
    bool dropped = drop.IsChanged();
    StepResult backup = BackupOrGiveBackRole(a, dropped);
    if (!backup.IsFailed()) {
        StepResult created = CreateSysdbaRole(a.userName, a.password, a.database);
        return created.IsFailed() ? created.Message() : std::wstring();
    }
    std::wstring ErrorText = backup.Message();
    if (dropped) GiveBackRole(a, ErrorText);
    return ErrorText;
}

void RunTool(const std::wstring& resultFilePath, const std::vector<std::wstring>& items,
             const Steps& steps) {
    // Gone before anything else: a missing result file after the run tells
    // the caller that it did not complete.
    platform::DeleteFileQuietly(resultFilePath);
    std::wstring ErrorText = steps(ArgumentsFrom(items));
    platform::WriteNewFile(resultFilePath, ResultFileBytes(ErrorText));
}

std::wstring ApplicationErrorText(const std::exception& error) {
    if (auto* tool = dynamic_cast<const ToolError*>(&error))
        return tool->Kind() + L": " + tool->Message();
    return L"Exception: " + platform::FromNarrow(error.what());
}

}  // namespace quenlet
