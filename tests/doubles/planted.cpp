// A DLL planted beside a program under the name of a system DLL that is no
// KnownDLL (version.dll, uxtheme.dll, ...). It does nothing but leave
// "<own file name>.loaded" beside itself when a process loads it, so a test
// sees which planted name got in.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH * 4 - 8);
    if (n == 0 || n >= MAX_PATH * 4 - 8) return TRUE;
    lstrcpyW(path + n, L".loaded");
    HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}
