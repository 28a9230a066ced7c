#include "environment/Ports.h"

#include "environment/ConfigFiles.h"
#include "environment/DevicePaths.h"
#include "environment/Folders.h"
#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/Paths.h"

namespace environment {

using platform::ContainsNoCase;

namespace {

// The port a server in `folder` listens on: its firebird.conf's, the
// standard port when it sets none (or there is no folder); nothing when the
// file names no port.
std::optional<Port> ConfiguredPort(const std::wstring& folder) {
    const std::wstring text = folder.empty() ? L"" : ReadConfPort(folder + outside::kServerConf);
    return text.empty() ? StandardPort() : Port::Parse(text);
}

}  // namespace

bool IsPortFree(const std::wstring& folder, Port port, std::wstring& otherFolder) {
    if (IsFBInstalled(folder) && ConfiguredPort(folder) == port) return true;

    bool free = true;
    EnumerateServices([&](const ServiceEntry& e) {
        if (e.currentState != SERVICE_RUNNING ||
            !ContainsNoCase(e.name + e.displayName, outside::kServiceMarkInstance))
            return true;
        // The instance's firebird.conf is looked for two levels above its
        // executable.
        // An image on no drive letter has no folder; its port is not looked
        // for below the current directory.
        const std::optional<std::wstring> image = GetProcessPath(GetServicePID(e.name).value_or(0));
        const std::wstring instance = image ? ParentDir(ParentDir(*image)) : L"";
        if (ConfiguredPort(instance) != port) return true;
        otherFolder = instance;
        free = false;
        return false;
    });
    return free;
}

}  // namespace environment
