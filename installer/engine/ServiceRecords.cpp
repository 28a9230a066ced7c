#include "engine/ServiceRecords.h"

#include <vector>

#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/UniqueHandle.h"

namespace engine {

namespace {

using platform::UniqueServiceHandle;

constexpr ULONGLONG kStartWaitMs = 30000, kStoppedGraceMs = 3000, kStopWaitMs = 30000;
constexpr DWORD kPollMs = 250;

UniqueServiceHandle OpenManager() {
    return UniqueServiceHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

UniqueServiceHandle OpenNamed(SC_HANDLE manager, const std::wstring& name, DWORD access) {
    return UniqueServiceHandle(OpenServiceW(manager, name.c_str(), access));
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

DWORD State(const std::wstring& name) {
    return environment::GetServiceState(name);
}

bool WaitWhile(const std::wstring& name, DWORD pending, ULONGLONG limitMs) {
    const ULONGLONG start = GetTickCount64();
    while (State(name) == pending && GetTickCount64() - start < limitMs) Sleep(kPollMs);
    return State(name) != pending;
}

}  // namespace

JournalRecord ServiceRecord::ToJournal(const wchar_t* kind) const {
    return {kind,
            {name, displayName, binaryPath, loadOrderGroup, dependencies, account,
             std::to_wstring(type), std::to_wstring(startType), std::to_wstring(errorControl),
             running ? L"1" : L"0"}};
}

ServiceRecord ServiceRecord::FromJournal(const JournalRecord& r) {
    ServiceRecord s;
    s.name = r.Field(0);
    s.displayName = r.Field(1);
    s.binaryPath = r.Field(2);
    s.loadOrderGroup = r.Field(3);
    s.dependencies = r.Field(4);
    s.account = r.Field(5);
    s.type = DWORD(_wtoi(r.Field(6).c_str()));
    s.startType = DWORD(_wtoi(r.Field(7).c_str()));
    s.errorControl = DWORD(_wtoi(r.Field(8).c_str()));
    s.running = r.Field(9) == L"1";
    return s;
}

std::optional<ServiceRecord> ReadServiceRecord(const std::wstring& name) {
    const std::optional<std::vector<BYTE>> buffer = environment::ReadServiceConfig(name);
    if (!buffer) return std::nullopt;
    const QUERY_SERVICE_CONFIGW* config = &environment::ServiceConfig(*buffer);
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
    const DWORD state = State(name);
    record.running = state != 0 && state != SERVICE_STOPPED && state != SERVICE_STOP_PENDING;
    return record;
}

bool RestoreService(const ServiceRecord& record) {
    if (State(record.name) == 0) {
        UniqueServiceHandle manager = OpenManager();
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

std::wstring InstanceOfService(const std::wstring& serviceName) {
    const size_t prefix = wcslen(outside::kServiceNamePrefix);
    return serviceName.size() > prefix ? serviceName.substr(prefix) : serviceName;
}

bool StopAndDeleteService(const std::wstring& name) {
    UniqueServiceHandle manager = OpenManager();
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
    for (;;) {
        const DWORD state = State(name);
        if (state == 0) return true;
        if (state == SERVICE_RUNNING || GetTickCount64() - start >= kStopWaitMs) return false;
        Sleep(kPollMs);
    }
}

bool StartAndWait(const std::wstring& name) {
    if (State(name) == SERVICE_RUNNING) return true;
    UniqueServiceHandle manager = OpenManager();
    if (!manager) return false;
    UniqueServiceHandle service = OpenNamed(manager.get(), name, SERVICE_START);
    if (!service) return false;
    if (!StartServiceW(service.get(), 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return false;
    return WaitUntilRunning(name);
}

bool WaitUntilRunning(const std::wstring& name) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const DWORD state = State(name);
        if (state == SERVICE_RUNNING) return true;
        const ULONGLONG waited = GetTickCount64() - start;
        if (waited >= kStartWaitMs) return false;
        if ((state == 0 || state == SERVICE_STOPPED) && waited >= kStoppedGraceMs) return false;
        Sleep(kPollMs);
    }
}

}  // namespace engine
