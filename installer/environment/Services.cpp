#include "environment/Services.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "outside/Outside.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace environment {

using platform::ContainsNoCase;

namespace {

// All zero when the service is missing or cannot be queried.
SERVICE_STATUS_PROCESS QueryService(const std::wstring& serviceName) {
    SERVICE_STATUS_PROCESS status{};
    platform::UniqueServiceHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm) return status;
    platform::UniqueServiceHandle service(
        OpenServiceW(scm.get(), serviceName.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return status;
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return SERVICE_STATUS_PROCESS{};
    return status;
}

}  // namespace

std::optional<std::vector<BYTE>> ReadServiceConfig(const std::wstring& serviceName) {
    platform::UniqueServiceHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm) return std::nullopt;
    platform::UniqueServiceHandle service(
        OpenServiceW(scm.get(), serviceName.c_str(), SERVICE_QUERY_CONFIG));
    if (!service) return std::nullopt;
    DWORD size = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> buffer(std::max<size_t>(size, sizeof(QUERY_SERVICE_CONFIGW)));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), config, DWORD(buffer.size()), &size))
        return std::nullopt;
    return buffer;
}

std::optional<DWORD> GetServicePID(const std::wstring& serviceName) {
    const DWORD pid = QueryService(serviceName).dwProcessId;
    return pid != 0 ? std::optional(pid) : std::nullopt;
}

DWORD GetServiceState(const std::wstring& serviceName) {
    return QueryService(serviceName).dwCurrentState;
}

bool EnumerateServices(const std::function<bool(const ServiceEntry&)>& visit, size_t bufferBytes) {
    platform::UniqueServiceHandle scm(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
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

std::wstring ProgramOfBinaryPath(const std::wstring& binaryPath) {
    if (binaryPath.starts_with(L'"')) return binaryPath.substr(1, binaryPath.find(L'"', 1) - 1);
    constexpr std::wstring_view kExe = L".exe";
    for (size_t at = 0; at + kExe.size() <= binaryPath.size(); ++at) {
        const size_t end = at + kExe.size();
        if (CompareStringOrdinal(binaryPath.data() + at, int(kExe.size()), kExe.data(),
                                 int(kExe.size()), TRUE) == CSTR_EQUAL &&
            (end == binaryPath.size() || binaryPath[end] == L' '))
            return binaryPath.substr(0, end);
    }
    return binaryPath.substr(0, binaryPath.find(L' '));
}

std::vector<std::wstring> ServerInstancePrograms() {
    std::vector<std::wstring> programs;
    EnumerateServices([&](const ServiceEntry& e) {
        if (!ContainsNoCase(e.name + e.displayName, outside::kServiceMarkAny)) return true;
        const std::optional<std::vector<BYTE>> config = ReadServiceConfig(e.name);
        if (config && ServiceConfig(*config).lpBinaryPathName)
            programs.push_back(ProgramOfBinaryPath(ServiceConfig(*config).lpBinaryPathName));
        return true;
    });
    return programs;
}

}  // namespace environment
