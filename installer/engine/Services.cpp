// The server's Windows service instance for the chosen port, and the
// settings of firebird.conf that go with the user's choices. A change of
// port or mode is always: remove the instance, write the settings, register
// and start it again. Each removal and registration is journalled first.
#include <vector>

#include "engine/CommandLines.h"
#include "engine/Installation.h"
#include "engine/InstanceName.h"
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
                                    environment::Port port) {
    std::vector<Setting> settings;
    if (mode) settings.push_back({outside::kConfModeKey, mode->confValue});
    settings.push_back({outside::kConfCompatKey, outside::kConfCompatValue});
    settings.push_back({outside::kConfUdfKey, std::wstring(outside::kConfUdfValuePrefix) +
                                                  platform::WithDelimiter(appDir) + outside::kAppUdfDir +
                                                  outside::kAppUdfDirSuffix});
    settings.push_back({outside::kConfPortKey, port.Text()});
    return settings;
}

std::wstring NotRemoved(const std::wstring& service) {
    return L"Inštanciu Firebird SQL servera " + InstanceText(service) +
           L" sa nepodarilo odstrániť.";
}

}  // namespace

DWORD FindInstance(const Installation& run, environment::Port port) {
    return environment::FindFBService(InstanceName(run.serverDir, port).Text());
}

void SetupService(Installation& run) {
    if (FindInstance(run, run.port) != 0) RemoveService(run, run.port);
    if (!environment::IsFBInstalled(run.serverDir))
        throw platform::Error(L"V priečinku " + run.serverDir + L" chýba " + outside::kServerExe +
                              L".");

    const std::wstring conf = run.serverDir + outside::kServerConf;
    for (const Setting& s : ServerSettings(run.mode, run.appDir, run.port))
        environment::SetConfValue(conf, s.key, s.value);

    const std::wstring service = InstanceName(run.serverDir, run.port).Service();
    run.state.transaction.RegisteringService(service);
    RunToolChecked(ServiceToolCommand(run.serverDir, outside::kToolInstall, run.port));
    // The start command's exit code says nothing about the server; the
    // service manager does.
    const std::wstring start = ServiceToolCommand(run.serverDir, outside::kToolStart, run.port);
    // Only a tool that did not run or crashed (a negative code) fails here.
    if (const ProgramResult result = RunTool(start); !result.Ended() || result.exitCode < 0)
        throw platform::Error(ToolFailure(start, result));
    if (!environment::WaitUntilRunning(service))
        throw platform::Error(L"Inštancia Firebird SQL servera " +
                              InstanceName(run.serverDir, run.port).Text() + L" sa nespustila!");
}

void RemoveService(Installation& run, environment::Port port) {
    if (!environment::IsFBInstalled(run.serverDir)) return;
    const std::wstring service = InstanceName(run.serverDir, port).Service();
    run.state.transaction.RemovingService(service);
    RunToolInTime(ServiceToolCommand(run.serverDir, outside::kToolStop, port));
    RunToolInTime(ServiceToolCommand(run.serverDir, outside::kToolRemove, port));
    // An instance the tool found nothing of is not in the way either.
    if (!environment::WaitUntilGone(service)) throw platform::Error(NotRemoved(service));
}

void RemoveServiceThroughManager(Installation& run, const std::wstring& service) {
    run.state.transaction.RemovingService(service);
    if (!environment::StopAndDeleteService(service) || !environment::WaitUntilGone(service))
        throw platform::Error(NotRemoved(service));
}

}  // namespace engine
