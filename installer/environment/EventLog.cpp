#include "environment/EventLog.h"

#include <windows.h>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace environment {

namespace {

constexpr wchar_t kApplicationLogKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr wchar_t kMessageFileValue[] = L"EventMessageFile";
// The 64-bit framework's: the one it registers for a 64-bit program.
constexpr wchar_t kFrameworkMessages[] =
    L"Microsoft.NET\\Framework64\\v4.0.30319\\EventLogMessages.dll";

// The system's Windows folder, never the user's copy that GetWindowsDirectoryW
// may give under Terminal Services nor %windir%: every program that shows
// the log loads the file the key names.
std::wstring SystemWindowsDir() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0) platform::ThrowLastError();
    if (length >= MAX_PATH) throw platform::SystemError(ERROR_BUFFER_OVERFLOW);
    return platform::WithDelimiter(std::wstring(folder, length));
}

bool SourceRegistered(const std::wstring& key) {
    platform::UniqueRegKey opened;
    const LONG rc =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, opened.receive());
    if (rc == ERROR_FILE_NOT_FOUND) return false;
    if (rc != ERROR_SUCCESS) throw platform::SystemError(DWORD(rc));
    return true;
}

WORD EventType(EventLevel level) {
    switch (level) {
        case EventLevel::kWarning:
            return EVENTLOG_WARNING_TYPE;
        case EventLevel::kError:
            return EVENTLOG_ERROR_TYPE;
        case EventLevel::kInformation:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

void RegisterEventLogSource(const std::wstring& source) {
    const std::wstring key = kApplicationLogKey + source;
    if (SourceRegistered(key)) return;
    const std::wstring messages = SystemWindowsDir() + kFrameworkMessages;
    if (!platform::FileExists(messages)) return;
    platform::UniqueRegKey made;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, made.receive(), &disposition);
    if (rc != ERROR_SUCCESS) throw platform::SystemError(DWORD(rc));
    // Another run's registration since the look above is as good as ours.
    if (disposition != REG_CREATED_NEW_KEY) return;
    rc = RegSetValueExW(made.get(), kMessageFileValue, 0, REG_EXPAND_SZ,
                        reinterpret_cast<const BYTE*>(messages.c_str()),
                        DWORD((messages.size() + 1) * sizeof(wchar_t)));
    if (rc == ERROR_SUCCESS) return;
    // A key without its file would pass for a registration with every later run.
    made.reset();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    throw platform::SystemError(DWORD(rc));
}

void WriteEventLogEntry(const std::wstring& source, EventLevel level, uint32_t id,
                        const std::vector<std::wstring>& strings) {
    const platform::UniqueEventSource log(RegisterEventSourceW(nullptr, source.c_str()));
    if (!log) platform::ThrowLastError();
    std::vector<const wchar_t*> texts;
    for (const std::wstring& text : strings) texts.push_back(text.c_str());
    if (!ReportEventW(log.get(), EventType(level), 0, id, nullptr, WORD(texts.size()), 0,
                      texts.data(), nullptr))
        platform::ThrowLastError();
}

}  // namespace environment
