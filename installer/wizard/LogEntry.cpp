#include "wizard/LogEntry.h"

#include <windows.h>

#include <cwchar>

namespace wizard {

std::wstring LogEntry(const std::wstring& message) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t separator[8] = L":";
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 1)
        wcscpy(separator, L":");
    wchar_t stamp[64];
    swprintf(stamp, 64, L"%02u.%02u.%04u %02u%ls%02u%ls%02u", t.wDay, t.wMonth, t.wYear, t.wHour,
             separator, t.wMinute, separator, t.wSecond);
    return std::wstring(stamp) + L"\r\n" + message + L"\r\n";
}

}  // namespace wizard
