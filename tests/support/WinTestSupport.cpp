#include "WinTestSupport.h"

#include <cstdio>
#include <vector>

namespace testsupport {

namespace {

std::wstring UnixToWindows(const char* unixPath) {
    std::wstring out = L"Z:";
    for (const char* p = unixPath; *p; ++p) out += *p == '/' ? L'\\' : wchar_t(*p);
    if (out.back() != L'\\') out += L'\\';
    return out;
}

}  // namespace

std::wstring DoublesDir() { return UnixToWindows(ISTREL_DOUBLES_DIR); }
std::wstring KitArchive() { return UnixToWindows(ISTREL_KIT_DIR) + L"firebird_4_0_x64.zip"; }

TempDir::TempDir(const std::wstring& hint) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"istrel-" + hint + L"-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folder) {
    std::wstring dir = folder;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(dir.c_str());
}

bool MakeDirs(const std::wstring& folder) {
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == L'\\') {
            std::wstring part = folder.substr(0, i);
            if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool CopyInto(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

namespace {

// On a loaded machine Wine now and then fails to start a program at all
// (once, a stand-in's "sto" in testbed_test; once, an application stand-in
// in instances_test); the program never ran, so it is started again, and
// the log says so. False after three tries.
bool StartProcess(const std::wstring& commandLine, PROCESS_INFORMATION& pi) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return true;
        const DWORD error = GetLastError();
        std::fprintf(stderr, "not started (error %lu, attempt %d): %ls\n", error, attempt,
                     commandLine.c_str());
        if (attempt == 3) return false;
        Sleep(500);
    }
}

}  // namespace

long RunWait(const std::wstring& commandLine, DWORD timeoutMs) {
    PROCESS_INFORMATION pi{};
    if (!StartProcess(commandLine, pi)) return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return long(code);
}

ChildProcess::ChildProcess(const std::wstring& commandLine) {
    PROCESS_INFORMATION pi{};
    if (StartProcess(commandLine, pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool ChildProcess::Wait(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!Exists(path)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

DWORD ServiceState(const std::wstring& serviceName) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) return 0;
    DWORD state = 0;
    if (SC_HANDLE svc = OpenServiceW(scm, serviceName.c_str(), SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS st{};
        if (QueryServiceStatus(svc, &st)) state = st.dwCurrentState;
        CloseServiceHandle(svc);
    }
    CloseServiceHandle(scm);
    return state;
}

void ForgetService(const std::wstring& serviceName) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!scm) return;
    HANDLE process = nullptr;
    if (SC_HANDLE svc = OpenServiceW(scm, serviceName.c_str(), SERVICE_ALL_ACCESS)) {
        SERVICE_STATUS_PROCESS running{};
        DWORD need = 0;
        if (QueryServiceStatusEx(svc, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&running),
                                 sizeof running, &need) &&
            running.dwProcessId != 0)
            process = OpenProcess(SYNCHRONIZE, FALSE, running.dwProcessId);
        SERVICE_STATUS st{};
        if (ControlService(svc, SERVICE_CONTROL_STOP, &st)) {
            for (int i = 0; i < 100 && QueryServiceStatus(svc, &st) &&
                            st.dwCurrentState != SERVICE_STOPPED;
                 ++i)
                Sleep(50);
        }
        DeleteService(svc);
        CloseServiceHandle(svc);
    }
    CloseServiceHandle(scm);
    // A stopped service's process may still hold its files for a moment.
    if (process) {
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

bool RegisterInstance(const std::wstring& instance, const std::wstring& binaryPath) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!scm) return false;
    const std::wstring name = L"FirebirdServer" + instance;
    const std::wstring display = L"Firebird Server - " + instance;
    SC_HANDLE svc =
        CreateServiceW(scm, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (svc) CloseServiceHandle(svc);
    CloseServiceHandle(scm);
    return svc != nullptr;
}

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
    return out;
}

}  // namespace testsupport
