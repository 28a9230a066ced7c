#include "environment/Discovery.h"

#include "outside/Outside.h"
#include "platform/Registry.h"

namespace environment {

std::wstring ReadAppDir() {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, outside::kAppKey, outside::kAppDirValue)
        .value_or(L"");
}

}  // namespace environment
