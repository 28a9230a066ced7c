// The server's Windows service instance for the chosen port, and the
// settings of firebird.conf that go with the user's choices. A change of
// port or mode is always: remove the instance, write the settings, register
// and start it again.
#include <vector>

#include "engine/Programs.h"
#include "engine/Steps.h"
#include "environment/ConfigFiles.h"
#include "environment/Discovery.h"

namespace engine {

namespace {

// The service tool's exit code says nothing about the server; the service
// manager does. An instance that is still stopped after a short grace will
// not come up by waiting longer.
constexpr ULONGLONG kStartWaitMs = 30000, kStoppedGraceMs = 3000;
constexpr DWORD kPollMs = 250;

bool WaitUntilRunning(const std::wstring& service) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const DWORD state = environment::GetServiceState(service);
        if (state == SERVICE_RUNNING) return true;
        const ULONGLONG waited = GetTickCount64() - start;
        if (waited >= kStartWaitMs) return false;
        if ((state == 0 || state == SERVICE_STOPPED) && waited >= kStoppedGraceMs) return false;
        Sleep(kPollMs);
    }
}

struct Setting {
    const wchar_t* key;
    std::wstring value;
};

// In the order written. ServerMode is left out when no mode is chosen.
std::vector<Setting> ServerSettings(const outside::ServerMode* mode, const std::wstring& appDir,
                                    const std::wstring& port) {
    std::vector<Setting> settings;
    if (mode) settings.push_back({outside::kConfModeKey, mode->confValue});
    settings.push_back({outside::kConfCompatKey, outside::kConfCompatValue});
    settings.push_back({outside::kConfUdfKey, std::wstring(outside::kConfUdfValuePrefix) +
                                                  WithDelimiter(appDir) + outside::kAppUdfDir +
                                                  outside::kAppUdfDirSuffix});
    settings.push_back({outside::kConfPortKey, port});
    return settings;
}

}  // namespace

bool SetupService(Installation& run, const outside::ServerMode* mode, InstallerUi& ui) {
    if (!run.m_bIsNT) return false;
    if (environment::FindFBService(run.m_szFBPort) != 0) RemoveService(run, run.m_szFBPort);
    if (!environment::IsFBInstalled(run.m_szFBDir)) return false;

    const std::wstring conf = run.m_szFBDir + outside::kServerConf;
    for (const Setting& s : ServerSettings(mode, run.m_szAppDir, run.m_szFBPort))
        environment::SetConfValue(conf, s.key, s.value);

    RunProgram(ServiceToolCommand(run.m_szFBDir, outside::kToolInstall, run.m_szFBPort), true,
               true);
    RunProgram(ServiceToolCommand(run.m_szFBDir, outside::kToolStart, run.m_szFBPort), true, true);
    // Reported, and the installation goes on: data.ini and the client files
    // still name this server, which the administrator can start by hand.
    const std::wstring instance = InstanceName(run.m_szFBDir, run.m_szFBPort);
    if (!WaitUntilRunning(outside::kServiceNamePrefix + instance))
        ui.ReportFailure(L"Inštancia Firebird SQL servera " + instance + L" sa nespustila!");
    return true;
}

bool RemoveService(const Installation& run, const std::wstring& port) {
    if (!run.m_bIsNT || !environment::IsFBInstalled(run.m_szFBDir)) return false;
    RunProgram(ServiceToolCommand(run.m_szFBDir, outside::kToolStop, port), true, true);
    RunProgram(ServiceToolCommand(run.m_szFBDir, outside::kToolRemove, port), true, true);
    return true;
}

}  // namespace engine
