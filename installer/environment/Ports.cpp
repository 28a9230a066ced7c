#include "environment/Ports.h"

#include "environment/ConfigFiles.h"
#include "environment/DevicePaths.h"
#include "environment/Folders.h"
#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/Paths.h"

namespace environment {

using platform::ContainsNoCase;

bool IsPortFree(const std::wstring& folder, const std::wstring& port, std::wstring& otherFolder) {
    std::wstring own;
    if (IsFBInstalled(folder)) {
        own = ReadConfPort(folder + outside::kServerConf);
        if (own.empty()) own = outside::kStandardPort;
    }
    if (port == own) return true;

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
        std::wstring p = instance.empty() ? L"" : ReadConfPort(instance + outside::kServerConf);
        if (p.empty()) p = outside::kStandardPort;
        if (p != port) return true;
        otherFolder = instance;
        free = false;
        return false;
    });
    return free;
}

}  // namespace environment
