// The server's Windows service instance for the chosen port, and the
// settings of firebird.conf that go with the user's choices. A change of
// port or mode is always: remove the instance, write the settings, register
// and start it again. Each removal and registration is journalled first.
#include <vector>

#include "engine/CommandLines.h"
#include "engine/Steps.h"
#include "engine/Tools.h"
#include "environment/ConfText.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Services.h"
#include "platform/Errors.h"

namespace engine {

namespace {

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

std::wstring ServiceName(const Installation& run, const std::wstring& port) {
    return outside::kServiceNamePrefix + InstanceName(run.m_szFBDir, port);
}

std::wstring NotRemoved(const std::wstring& service) {
    return L"Inštanciu Firebird SQL servera " + environment::InstanceOfService(service) +
           L" sa nepodarilo odstrániť.";
}

}  // namespace

DWORD FindInstance(const Installation& run, const std::wstring& port) {
    if (!environment::PortNumber(port)) return 0;
    return environment::FindFBService(InstanceName(run.m_szFBDir, port));
}

void SetupService(Installation& run) {
    if (!run.m_bIsNT)
        throw platform::Error(L"Tento systém Windows nemá služby, a preto sa Firebird SQL server "
                              L"nedá zaregistrovať ako služba.");
    if (FindInstance(run, run.m_szFBPort) != 0) RemoveService(run, run.m_szFBPort);
    if (!environment::IsFBInstalled(run.m_szFBDir))
        throw platform::Error(L"V priečinku " + run.m_szFBDir + L" chýba " + outside::kServerExe +
                              L".");

    const std::wstring conf = run.m_szFBDir + outside::kServerConf;
    for (const Setting& s : ServerSettings(run.mode, run.m_szAppDir, run.m_szFBPort))
        environment::SetConfValue(conf, s.key, s.value);

    const std::wstring instance = InstanceName(run.m_szFBDir, run.m_szFBPort);
    run.state.m_Transaction.RegisteringService(outside::kServiceNamePrefix + instance);
    RunToolChecked(ServiceToolCommand(run.m_szFBDir, outside::kToolInstall, run.m_szFBPort));
    // The start command's exit code says nothing about the server; the
    // service manager does.
    const std::wstring start = ServiceToolCommand(run.m_szFBDir, outside::kToolStart, run.m_szFBPort);
    // Only a tool that did not run or crashed (a negative code) fails here.
    if (const ProgramResult result = RunTool(start); !result.Ended() || result.exitCode < 0)
        throw platform::Error(ToolFailure(start, result));
    if (!environment::WaitUntilRunning(outside::kServiceNamePrefix + instance))
        throw platform::Error(L"Inštancia Firebird SQL servera " + instance + L" sa nespustila!");
}

void RemoveService(Installation& run, const std::wstring& port) {
    if (!run.m_bIsNT || !environment::IsFBInstalled(run.m_szFBDir)) return;
    const std::wstring service = ServiceName(run, port);
    run.state.m_Transaction.RemovingService(service);
    RunToolInTime(ServiceToolCommand(run.m_szFBDir, outside::kToolStop, port));
    RunToolInTime(ServiceToolCommand(run.m_szFBDir, outside::kToolRemove, port));
    // An instance the tool found nothing of is not in the way either.
    if (!environment::WaitUntilGone(service)) throw platform::Error(NotRemoved(service));
}

void RemoveServiceThroughManager(Installation& run, const std::wstring& service) {
    run.state.m_Transaction.RemovingService(service);
    if (!environment::StopAndDeleteService(service) || !environment::WaitUntilGone(service))
        throw platform::Error(NotRemoved(service));
}

}  // namespace engine
