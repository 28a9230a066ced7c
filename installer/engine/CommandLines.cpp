#include "engine/CommandLines.h"

#include "engine/InstanceName.h"
#include "outside/Outside.h"

namespace engine {

using platform::ContainsNoCase;

std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    if (program.find(L' ') == std::wstring::npos) return program + arguments;
    return L"\"" + program + L"\"" + arguments;
}

std::wstring ServiceToolCommand(const std::wstring& serverDir, const wchar_t* action,
                                environment::Port port) {
    return CommandLine(
        serverDir + outside::kServiceTool,
        L" " + std::wstring(action) + outside::kToolNameSwitch + InstanceName(serverDir, port).Text());
}

std::wstring LegacyToolCommand(const std::wstring& legacyDir, const wchar_t* action) {
    return CommandLine(
        legacyDir + outside::kServiceTool,
        L" " + std::wstring(action) + outside::kToolNameSwitch + outside::kLegacyInstance);
}

std::wstring FirewallCommand(const std::wstring& serverDir, const std::wstring& systemDir) {
    return CommandLine(systemDir + outside::kFirewallProgram,
                       std::wstring(outside::kFirewallArguments) + L"\"" + serverDir +
                           outside::kServerExe + L"\" \"" + outside::kFirewallRuleName + L"\"" +
                           outside::kFirewallEnable);
}

std::wstring FirewallDeleteCommand(const std::wstring& serverDir, const std::wstring& systemDir) {
    return CommandLine(systemDir + outside::kFirewallProgram,
                       std::wstring(outside::kFirewallDeleteArguments) + L"\"" + serverDir +
                           outside::kServerExe + L"\"");
}

}  // namespace engine
