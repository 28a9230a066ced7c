// A server instance's Windows service as the service manager keeps it,
// read before the installation removes it so that a rollback can put it
// back exactly: names, program, start settings, account and running state.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "engine/Journal.h"

namespace engine {

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

    JournalRecord ToJournal(const wchar_t* kind) const;
    static ServiceRecord FromJournal(const JournalRecord& record);
};

// The service's settings and whether it runs (or is on its way to);
// nothing when there is no such service or its settings cannot be read.
std::optional<ServiceRecord> ReadServiceRecord(const std::wstring& name);

// Registers the service as recorded when it is missing, and starts it when
// it ran, waiting as for a new instance (WaitUntilRunning); false when it
// could not be registered. Whether it runs again is the caller's to ask.
bool RestoreService(const ServiceRecord& record);

// The instance name the service tool was given: the service's name without
// its "FirebirdServer" prefix.
std::wstring InstanceOfService(const std::wstring& serviceName);

// Stops the service and deletes it; true when it is gone (or never was).
bool StopAndDeleteService(const std::wstring& name);

// Waits until a deleted service has gone. The service manager keeps it
// until its process has ended and every handle to it is closed, which a
// loaded machine may take seconds for. True when it is gone; false at once
// for one that runs (it was not deleted), else after 30 s.
bool WaitUntilGone(const std::wstring& name);

// Starts the service unless it runs; true once the service manager reports
// it running.
bool StartAndWait(const std::wstring& name);

// Waits until the service manager reports the service running: at most
// 30 s, and 3 s for one that stays stopped or is missing: a server that is
// still stopped after a short grace will not come up by waiting longer.
bool WaitUntilRunning(const std::wstring& name);

}  // namespace engine
