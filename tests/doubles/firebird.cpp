// Stand-in server: "firebird.exe -s NAME" runs as a Windows service that
// reports running until it is told to stop. With a file "firebird.nostart"
// beside it, it never reaches running: it stops again at once with an error,
// as a server with a broken configuration does. Started any other way it
// logs its command line and ends.
#include <windows.h>

#include "DoubleLog.h"

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS st{};
    st.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    st.dwCurrentState = state;
    st.dwWin32ExitCode = exitCode;
    st.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    SetServiceStatus(g_status, &st);
}

DWORD WINAPI Control(DWORD code, DWORD, LPVOID, LPVOID) {
    if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR* argv) {
    g_status = RegisterServiceCtrlHandlerExW(argv[0], Control, nullptr);
    if (!g_status) return;
    if (GetFileAttributesW((doubles::OwnFolder() + L"firebird.nostart").c_str()) !=
        INVALID_FILE_ATTRIBUTES) {
        Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    doubles::LogCommandLine();
    if (argc < 2 || lstrcmpiW(argv[1], L"-s") != 0) return 0;
    wchar_t empty[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
