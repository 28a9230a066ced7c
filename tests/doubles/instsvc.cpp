// Stand-in for the server's service tool. Mirrors the real tool's observable
// contract for the four commands the installer uses:
//   instsvc i|sta|sto|r [-n NAME]
// Commands are case-insensitive prefixes ("i", "r" one letter, "sta"/"sto"
// three). The service is "FirebirdServer"+NAME, displayed as
// "Firebird Server - "+NAME, running "<own folder>\firebird.exe -s NAME".
// Exit codes: i of an existing service 1 (silently); sto of a stopped one 0;
// r of a running one leaves it and returns 0; r of a missing one 0;
// sta/sto of a missing one 1. A file "instsvc.fail" beside it that holds a
// command's letters ("i", "sta") makes that command fail with 1 and do
// nothing, as a broken service tool in a kit would. ISTREL_TEST_HANG and
// ISTREL_TEST_PAUSE stop it at a point of its command, ISTREL_TEST_HOLD hands
// its folder's firebird.exe to another program once a command is done
// (DoubleLog.h). Logs its command line
// and the folder it was started in.
#include <windows.h>

#include <cwctype>
#include <string>

#include "DoubleLog.h"

namespace {

struct ScHandle {
    SC_HANDLE h = nullptr;
    explicit ScHandle(SC_HANDLE v) : h(v) {}
    ~ScHandle() { if (h) CloseServiceHandle(h); }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    explicit operator bool() const { return h != nullptr; }
};

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = wchar_t(std::towlower(c));
    return s;
}

bool WaitForState(SC_HANDLE svc, DWORD wanted) {
    for (int i = 0; i < 200; ++i) {
        SERVICE_STATUS st{};
        if (!QueryServiceStatus(svc, &st)) return false;
        if (st.dwCurrentState == wanted) return true;
        // A server that stopped again while starting will not come up.
        if (wanted == SERVICE_RUNNING && st.dwCurrentState == SERVICE_STOPPED) return false;
        Sleep(50);
    }
    return false;
}

int Install(SC_HANDLE scm, const std::wstring& service, const std::wstring& name) {
    std::wstring exe = doubles::OwnFolder() + L"firebird.exe";
    if (exe.find(L' ') != std::wstring::npos) exe = L"\"" + exe + L"\"";
    std::wstring binary = exe + L" -s " + name;
    std::wstring display = L"Firebird Server - " + name;
    ScHandle svc(CreateServiceW(scm, service.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                                nullptr, nullptr));
    return svc ? 0 : 1;
}

int Start(SC_HANDLE scm, const std::wstring& service) {
    ScHandle svc(OpenServiceW(scm, service.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
    if (!svc) return 1;
    if (!StartServiceW(svc.h, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return 1;
    return WaitForState(svc.h, SERVICE_RUNNING) ? 0 : 1;
}

int Stop(SC_HANDLE scm, const std::wstring& service) {
    ScHandle svc(OpenServiceW(scm, service.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!svc) return 1;
    SERVICE_STATUS st{};
    if (!ControlService(svc.h, SERVICE_CONTROL_STOP, &st))
        return GetLastError() == ERROR_SERVICE_NOT_ACTIVE ? 0 : 1;
    return WaitForState(svc.h, SERVICE_STOPPED) ? 0 : 1;
}

int Remove(SC_HANDLE scm, const std::wstring& service) {
    ScHandle svc(OpenServiceW(scm, service.c_str(), DELETE | SERVICE_QUERY_STATUS));
    if (!svc) return 0;
    SERVICE_STATUS st{};
    if (QueryServiceStatus(svc.h, &st) && st.dwCurrentState != SERVICE_STOPPED) return 0;
    DeleteService(svc.h);
    return 0;
}

int Run(const std::wstring& command, const std::wstring& service, const std::wstring& name) {
    ScHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm) return 2;
    if (command.rfind(L"sta", 0) == 0) return Start(scm.h, service);
    if (command.rfind(L"sto", 0) == 0) return Stop(scm.h, service);
    if (command.rfind(L"i", 0) == 0) return Install(scm.h, service, name);
    if (command.rfind(L"r", 0) == 0) return Remove(scm.h, service);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    doubles::LogCommandLine();
    doubles::LogCurrentDirectory();
    if (argc < 2) return 1;
    std::wstring command = Lower(argv[1]);
    std::wstring name = L"DefaultInstance";
    for (int i = 2; i + 1 < argc; ++i)
        if (Lower(argv[i]) == L"-n") name = argv[i + 1];
    const std::wstring service = L"FirebirdServer" + name;

    if (doubles::FailureAsked(L"instsvc", command)) return 1;
    doubles::HangIfAsked(L"instsvc", command, L"before");
    doubles::PauseIfAsked(L"instsvc", command, L"before");
    const int code = Run(command, service, name);
    if (code == 0) doubles::HoldIfAsked(L"instsvc", command, doubles::OwnFolder() + L"firebird.exe");
    doubles::HangIfAsked(L"instsvc", command, L"after");
    return code;
}
