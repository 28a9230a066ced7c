#include "environment/Services.h"

#include <algorithm>
#include <set>
#include <vector>

#include "outside/Outside.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace environment {

using platform::ContainsNoCase;
using platform::UniqueServiceHandle;

namespace {

constexpr ULONGLONG kStartWaitMs = 30000, kStoppedGraceMs = 3000, kStopWaitMs = 30000;
constexpr DWORD kFirstPollMs = 10, kPollMs = 250;

// The pauses between looks at a service that changes state: short at
// first, since most changes take a moment, then every kPollMs.
class Polling {
public:
    void Pause() {
        Sleep(pause_);
        pause_ = std::min(pause_ * 2, kPollMs);
    }

private:
    DWORD pause_ = kFirstPollMs;
};

UniqueServiceHandle OpenManager(DWORD access) {
    return UniqueServiceHandle(OpenSCManagerW(nullptr, nullptr, access));
}

UniqueServiceHandle OpenNamed(SC_HANDLE manager, const std::wstring& name, DWORD access) {
    return UniqueServiceHandle(OpenServiceW(manager, name.c_str(), access));
}

// All zero when the service is missing or cannot be queried.
SERVICE_STATUS_PROCESS QueryService(const std::wstring& serviceName) {
    SERVICE_STATUS_PROCESS status{};
    UniqueServiceHandle scm = OpenManager(SC_MANAGER_CONNECT);
    if (!scm) return status;
    UniqueServiceHandle service = OpenNamed(scm.get(), serviceName, SERVICE_QUERY_STATUS);
    if (!service) return status;
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return SERVICE_STATUS_PROCESS{};
    return status;
}

// The service's configuration as the service manager keeps it: a buffer
// that starts with a QUERY_SERVICE_CONFIGW whose texts lie in it too
// (ServiceConfig reads it); nothing when there is no such service or it
// cannot be read.
std::optional<std::vector<BYTE>> ReadServiceConfig(const std::wstring& serviceName) {
    UniqueServiceHandle scm = OpenManager(SC_MANAGER_CONNECT);
    if (!scm) return std::nullopt;
    UniqueServiceHandle service = OpenNamed(scm.get(), serviceName, SERVICE_QUERY_CONFIG);
    if (!service) return std::nullopt;
    DWORD size = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> buffer(std::max<size_t>(size, sizeof(QUERY_SERVICE_CONFIGW)));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), config, DWORD(buffer.size()), &size))
        return std::nullopt;
    return buffer;
}

const QUERY_SERVICE_CONFIGW& ServiceConfig(const std::vector<BYTE>& buffer) {
    return *reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
}

// "a|b|" from the service manager's list "a\0b\0\0".
std::wstring JoinDependencies(const wchar_t* list) {
    std::wstring joined;
    for (const wchar_t* p = list; p && *p; p += wcslen(p) + 1) joined += std::wstring(p) + L'|';
    return joined;
}

std::wstring SplitDependencies(const std::wstring& joined) {
    std::wstring list;
    for (wchar_t c : joined) list += c == L'|' ? L'\0' : c;
    return list + L'\0';
}

bool WaitWhile(const std::wstring& name, DWORD pending, ULONGLONG limitMs) {
    const ULONGLONG start = GetTickCount64();
    Polling polling;
    while (GetServiceState(name) == pending && GetTickCount64() - start < limitMs) polling.Pause();
    return GetServiceState(name) != pending;
}

}  // namespace

std::optional<DWORD> GetServicePID(const std::wstring& serviceName) {
    const DWORD pid = QueryService(serviceName).dwProcessId;
    return pid != 0 ? std::optional(pid) : std::nullopt;
}

DWORD GetServiceState(const std::wstring& serviceName) {
    return QueryService(serviceName).dwCurrentState;
}

bool EnumerateServices(const std::function<bool(const ServiceEntry&)>& visit, size_t bufferBytes) {
    UniqueServiceHandle scm = OpenManager(SC_MANAGER_ENUMERATE_SERVICE);
    if (!scm) return false;
    std::vector<ENUM_SERVICE_STATUSW> buffer(bufferBytes / sizeof(ENUM_SERVICE_STATUSW));
    // A long service list does not fit one buffer, and a server instance
    // beyond it must still be found: the enumeration goes on with the resume
    // handle. A manager that does not advance the handle (Wine) gets one more
    // call with a buffer large enough for the whole list; entries already
    // visited are skipped.
    std::set<std::wstring> seen;
    DWORD resume = 0;
    bool grown = false;
    bool any = false;
    for (;;) {
        const DWORD bytes = DWORD(buffer.size() * sizeof(ENUM_SERVICE_STATUSW));
        const DWORD before = resume;
        DWORD needed = 0, returned = 0;
        BOOL complete = EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                            buffer.data(), bytes, &needed, &returned, &resume);
        if (!complete && GetLastError() != ERROR_MORE_DATA) return any;
        for (DWORD i = 0; i < returned; ++i) {
            const ENUM_SERVICE_STATUSW& e = buffer[i];
            ServiceEntry entry{e.lpServiceName ? e.lpServiceName : L"",
                               e.lpDisplayName ? e.lpDisplayName : L"",
                               e.ServiceStatus.dwCurrentState};
            if (!seen.insert(entry.name).second) continue;
            any = true;
            if (!visit(entry)) return true;
        }
        if (complete) return any;
        if (resume == before || returned == 0) {
            if (grown) return any;
            grown = true;
            resume = 0;
            buffer.resize((size_t(needed) + bytes) / sizeof(ENUM_SERVICE_STATUSW) + 1);
        }
    }
}

DWORD FindFBService(const std::wstring& instanceName) {
    // "FirebirdServer" alone is no instance of this installer's.
    if (instanceName.empty()) return 0;
    return GetServiceState(outside::kServiceNamePrefix + instanceName);
}

std::vector<std::wstring> ServerInstancePrograms() {
    std::vector<std::wstring> programs;
    EnumerateServices([&](const ServiceEntry& e) {
        if (!ContainsNoCase(e.name + e.displayName, outside::kServiceMarkAny)) return true;
        const std::optional<std::vector<BYTE>> config = ReadServiceConfig(e.name);
        if (config && ServiceConfig(*config).lpBinaryPathName)
            programs.push_back(platform::ProgramOfCommand(ServiceConfig(*config).lpBinaryPathName));
        return true;
    });
    return programs;
}

std::optional<ServiceRecord> ReadServiceRecord(const std::wstring& name) {
    const std::optional<std::vector<BYTE>> buffer = ReadServiceConfig(name);
    if (!buffer) return std::nullopt;
    const QUERY_SERVICE_CONFIGW* config = &ServiceConfig(*buffer);
    auto text = [](const wchar_t* p) { return std::wstring(p ? p : L""); };
    ServiceRecord record;
    record.name = name;
    record.displayName = text(config->lpDisplayName);
    record.binaryPath = text(config->lpBinaryPathName);
    record.loadOrderGroup = text(config->lpLoadOrderGroup);
    record.dependencies = JoinDependencies(config->lpDependencies);
    record.account = text(config->lpServiceStartName);
    record.type = config->dwServiceType;
    record.startType = config->dwStartType;
    record.errorControl = config->dwErrorControl;
    const DWORD state = GetServiceState(name);
    record.running = state != 0 && state != SERVICE_STOPPED && state != SERVICE_STOP_PENDING;
    return record;
}

bool RestoreService(const ServiceRecord& record) {
    if (GetServiceState(record.name) == 0) {
        UniqueServiceHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
        if (!manager) return false;
        const std::wstring dependencies = SplitDependencies(record.dependencies);
        // The local system account needs no password; another one was given
        // its password when first registered and keeps it in the manager's
        // store only while the service exists, so the server's own accounts
        // are the only ones this restores in full.
        UniqueServiceHandle created(CreateServiceW(
            manager.get(), record.name.c_str(), record.displayName.c_str(), SERVICE_ALL_ACCESS,
            record.type, record.startType, record.errorControl, record.binaryPath.c_str(),
            record.loadOrderGroup.empty() ? nullptr : record.loadOrderGroup.c_str(), nullptr,
            dependencies.c_str(), record.account.empty() ? nullptr : record.account.c_str(),
            nullptr));
        if (!created) return false;
    }
    // Registered again is the undo; a server that will not start any more
    // is no reason to keep trying at every later start, but is reported.
    if (record.running) StartAndWait(record.name);
    return true;
}

bool StopAndDeleteService(const std::wstring& name) {
    UniqueServiceHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    UniqueServiceHandle service =
        OpenNamed(manager.get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    WaitWhile(name, SERVICE_STOP_PENDING, kStopWaitMs);
    WaitWhile(name, SERVICE_RUNNING, kStopWaitMs);
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return false;
    service.reset();
    return WaitUntilGone(name);
}

bool WaitUntilGone(const std::wstring& name) {
    const ULONGLONG start = GetTickCount64();
    for (Polling polling;; polling.Pause()) {
        const DWORD state = GetServiceState(name);
        if (state == 0) return true;
        if (state == SERVICE_RUNNING || GetTickCount64() - start >= kStopWaitMs) return false;
    }
}

bool StartAndWait(const std::wstring& name) {
    if (GetServiceState(name) == SERVICE_RUNNING) return true;
    UniqueServiceHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    UniqueServiceHandle service = OpenNamed(manager.get(), name, SERVICE_START);
    if (!service) return false;
    // A server given back may find its port still held by its own previous
    // process, which ends a moment after reporting stopped, and stop at
    // once: it is started again while the wait for a new instance lasts.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (!StartServiceW(service.get(), 0, nullptr) &&
            GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return false;
        if (WaitUntilRunning(name)) return true;
        if (GetTickCount64() - start + kStoppedGraceMs >= kStartWaitMs ||
            GetServiceState(name) != SERVICE_STOPPED)
            return false;
        Sleep(kPollMs);
    }
}

bool WaitUntilRunning(const std::wstring& name) {
    const ULONGLONG start = GetTickCount64();
    for (Polling polling;; polling.Pause()) {
        const DWORD state = GetServiceState(name);
        if (state == SERVICE_RUNNING) return true;
        const ULONGLONG waited = GetTickCount64() - start;
        if (waited >= kStartWaitMs) return false;
        if ((state == 0 || state == SERVICE_STOPPED) && waited >= kStoppedGraceMs) return false;
    }
}

}  // namespace environment
