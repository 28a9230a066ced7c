// The Windows services of the server: one service's state and process, the
// enumeration of all, and the search for a server instance by its name.
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

// The service's configuration as the service manager keeps it: a buffer
// that starts with a QUERY_SERVICE_CONFIGW whose texts lie in it too
// (ServiceConfig reads it); nothing when there is no such service or it
// cannot be read.
std::optional<std::vector<BYTE>> ReadServiceConfig(const std::wstring& serviceName);
inline const QUERY_SERVICE_CONFIGW& ServiceConfig(const std::vector<BYTE>& buffer) {
    return *reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
}

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

// The program a service's binary path runs: the text in double quotes when
// it begins with one; otherwise up to the end of the first ".exe" (any case)
// that a blank or the end follows, else up to the first blank.
std::wstring ProgramOfBinaryPath(const std::wstring& binaryPath);

// The programs of the registered server instances, in any state: every
// service whose name followed by its display name contains "FIREBIRD
// SERVER" (any case), its program from its binary path. Services whose
// settings cannot be read are left out.
std::vector<std::wstring> ServerInstancePrograms();

}  // namespace environment
