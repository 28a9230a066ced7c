#include "ToolRun.h"

#include "Backup.h"
#include "DatabaseChecks.h"
#include "Errors.h"
#include "Platform.h"

namespace quenlet {

namespace {

bool IsSeparator(wchar_t c) {
    return c >= 1 && c <= 32;
}

// Creates the role SYSDBA again after a failure that followed its drop, so
// that a failed run leaves the database as it found it. The first error
// stays first; when the creation fails too, its message follows on a line of
// its own.
void GiveBackRole(const Arguments& a, std::wstring& ErrorText) {
    std::wstring roleError;
    if (!AdjustSysdbaRole(a.userName, a.password, a.database, roleError, true))
        ErrorText += L"\r\n" + roleError;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> items;
    size_t i = 0, n = line.size();
    auto at = [&](size_t k) { return k < n ? line[k] : L'\0'; };
    for (;;) {
        for (;;) {
            while (IsSeparator(at(i))) ++i;
            if (at(i) == L'"' && at(i + 1) == L'"')
                i += 2;
            else
                break;
        }
        if (at(i) == L'\0') break;
        std::wstring item;
        while (at(i) != L'\0' && !IsSeparator(at(i))) {
            if (at(i) == L'"') {
                ++i;
                while (at(i) != L'\0' && at(i) != L'"') item += line[i++];
                if (at(i) == L'"') ++i;
            } else {
                item += line[i++];
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

Arguments ArgumentsFrom(const std::vector<std::wstring>& items) {
    auto item = [&](size_t k) { return k < items.size() ? items[k] : std::wstring(); };
    return Arguments{item(1), item(2), item(3), item(4)};
}

std::wstring ResultFilePath(const std::wstring& executablePath, std::wstring_view delimiters) {
    size_t folderEnd = executablePath.find_last_of(delimiters);
    size_t dot = executablePath.rfind(L'.');
    bool hasExtension =
        dot != std::wstring::npos && (folderEnd == std::wstring::npos || dot > folderEnd);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + L".res";
}

std::string ResultFileBytes(const std::wstring& ErrorText) {
    return platform::ToNarrow((ErrorText.empty() ? L"0" : L"-1") + std::wstring(L"\r\n") +
                              ErrorText + L"\r\n");
}

std::wstring RunSteps(const Arguments& a) {
    // Refused before the role is dropped: a name the server would get in
    // another form must not reach it.
    try {
        platform::ToServerFileName(a.database, L"Database name");
        platform::ToServerFileName(a.backupFile, L"Backup file name");
    } catch (const ToolError& e) {
        return e.Message();
    }
    std::wstring ErrorText;
    bool dropped = false;
    if (!CheckDatabaseVersion(a.userName, a.password, a.database, ErrorText) ||
        !AdjustSysdbaRole(a.userName, a.password, a.database, ErrorText, false, &dropped))
        return ErrorText;
    bool backedUp = false;
    try {
        backedUp = BackupDatabase(a.userName, a.password, a.database, ErrorText, a.backupFile);
    } catch (const ToolError& e) {
        // A failed detach still ends the run without a result file, but not
        // with the role gone.
        if (!dropped) throw;
        std::wstring message = e.Message();
        GiveBackRole(a, message);
        throw ToolError(e.Kind(), message);
    }
    if (backedUp)
        // Its result is not looked at: an error it reports stands in ErrorText.
        AdjustSysdbaRole(a.userName, a.password, a.database, ErrorText, true);
    else if (dropped)
        GiveBackRole(a, ErrorText);
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
