// Stand-in server: "firebird.exe -s NAME" runs as a Windows service that
// listens on the port that the firebird.conf beside it sets
// (RemoteServicePort) and reports running until it is told to stop. When
// that port is taken it stops again at once with an error, as the server
// does. Without such a line it listens on nothing, so that suites running
// side by side never meet on a default port; so does it with a file "firebird.nostart" beside it, as
// a server with a broken configuration does. Started any other way it logs
// its command line and ends.
#include <winsock2.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

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

// The active "RemoteServicePort = N" line of the firebird.conf beside the
// program; the last one counts. 0 without one.
unsigned short ConfiguredPort() {
    std::ifstream conf((doubles::OwnFolder() + L"firebird.conf").c_str());
    unsigned long port = 0;
    std::string line;
    while (std::getline(conf, line)) {
        const size_t key = line.find_first_not_of(" \t");
        if (key == std::string::npos || line.compare(key, 17, "RemoteServicePort") != 0) continue;
        const size_t eq = line.find('=', key);
        if (eq == std::string::npos) continue;
        std::istringstream value(line.substr(eq + 1));
        unsigned long read = 0;
        if (value >> read && read > 0 && read < 65536) port = read;
    }
    return static_cast<unsigned short>(port);
}

// The listening socket on every address, as the server's; none when the
// port is taken.
SOCKET Listen(unsigned short port) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return INVALID_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(s, 5) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

void WINAPI ServiceMain(DWORD, LPWSTR* argv) {
    g_status = RegisterServiceCtrlHandlerExW(argv[0], Control, nullptr);
    if (!g_status) return;
    if (GetFileAttributesW((doubles::OwnFolder() + L"firebird.nostart").c_str()) !=
        INVALID_FILE_ATTRIBUTES) {
        Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    const unsigned short port = ConfiguredPort();
    const SOCKET listening = port ? Listen(port) : INVALID_SOCKET;
    if (port && listening == INVALID_SOCKET) {
        Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    if (listening != INVALID_SOCKET) closesocket(listening);
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
