// The Windows services of the server: one service's state, process and
// settings, the enumeration of all, the search for a server instance by its
// name, and the changes the installation makes and undoes: stopping and
// deleting a service, registering it again, starting one and waiting for it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace environment {

// Process identifier of the named service's process; nothing when the
// service is missing, not running or cannot be queried.
std::optional<DWORD> GetServicePID(const std::wstring& serviceName);

// Current state of the named service (SERVICE_RUNNING...); 0 when the
// service is missing or cannot be queried.
DWORD GetServiceState(const std::wstring& serviceName);

// What the service enumeration gives for each Win32 service.
struct ServiceEntry {
    std::wstring name;
    std::wstring displayName;
    DWORD currentState = 0;
};

// The enumeration buffer: room for 1,001 fixed entries (the names share it).
inline constexpr size_t kServiceBufferBytes = 48048;

// Calls `visit` for every Win32 service (own and shared process, active and
// inactive) until it returns false. The buffer is refilled through the
// resume handle until every service has been seen. False when the service
// manager could not be opened or the enumeration failed before any entry.
bool EnumerateServices(const std::function<bool(const ServiceEntry&)>& visit,
                       size_t bufferBytes = kServiceBufferBytes);

// Current state of the server instance named `instanceName` (such as
// "velmora64b_3050"): the service the service tool registers for it,
// "FirebirdServer" + the instance name, compared without regard to case as
// the service manager compares names. 0 when there is no such service, it
// cannot be queried, or the name is empty. Only the whole name counts: the
// instance of 3050 is not the instance of 305, nor of 30501.
DWORD FindFBService(const std::wstring& instanceName);

// The programs of the registered server instances, in any state: every
// service whose name followed by its display name contains "FIREBIRD
// SERVER" (any case), its program from its binary path. Services whose
// settings cannot be read are left out.
std::vector<std::wstring> ServerInstancePrograms();

// A server instance's service as the service manager keeps it, read before
// the installation removes it so that a rollback can put it back exactly:
// names, program, start settings, account and running state.
struct ServiceRecord {
    std::wstring name;
    std::wstring displayName;
    std::wstring binaryPath;
    std::wstring loadOrderGroup;
    std::wstring dependencies;  // the names, each ended by "|"
    std::wstring account;
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    bool running = false;
};

// The service's settings and whether it runs (or is on its way to);
// nothing when there is no such service or its settings cannot be read.
std::optional<ServiceRecord> ReadServiceRecord(const std::wstring& name);

// Registers the service as recorded when it is missing, and starts it when
// it ran, waiting as for a new instance (WaitUntilRunning); false when it
// could not be registered. Whether it runs again is the caller's to ask.
bool RestoreService(const ServiceRecord& record);

// Stops the service and deletes it; true when it is gone (or never was).
bool StopAndDeleteService(const std::wstring& name);

// Waits until a deleted service has gone. The service manager keeps it
// until its process has ended and every handle to it is closed, which a
// loaded machine may take seconds for. True when it is gone; false at once
// for one that runs (it was not deleted), else after 30 s.
bool WaitUntilGone(const std::wstring& name);

// Starts the service unless it runs; true once the service manager reports
// it running. One that stops at once is started again until the wait for a
// new instance (WaitUntilRunning's 30 s) has passed.
bool StartAndWait(const std::wstring& name);

// Waits until the service manager reports the service running: at most
// 30 s, and 3 s for one that stays stopped or is missing: a server that is
// still stopped after a short grace will not come up by waiting longer.
bool WaitUntilRunning(const std::wstring& name);

}  // namespace environment
