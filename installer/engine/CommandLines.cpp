#include "engine/CommandLines.h"

#include <windows.h>

#include "outside/Outside.h"

namespace engine {

using platform::ContainsNoCase;

std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    if (program.find(L' ') == std::wstring::npos) return program + arguments;
    return L"\"" + program + L"\"" + arguments;
}

std::wstring InstanceName(const std::wstring& serverDir, environment::Port port) {
    const wchar_t* prefix = ContainsNoCase(serverDir, outside::kFolder64Marker)
                                ? outside::kInstancePrefix64
                                : outside::kInstancePrefix32;
    return prefix + port.Text();
}

std::wstring ServiceName(const std::wstring& serverDir, environment::Port port) {
    return outside::kServiceNamePrefix + InstanceName(serverDir, port);
}

std::optional<environment::Port> OwnServicePort(const std::wstring& serviceName) {
    const std::wstring base = outside::kServiceNamePrefix;
    for (const wchar_t* prefix : {outside::kInstancePrefix64, outside::kInstancePrefix32}) {
        const std::wstring head = base + prefix;
        if (serviceName.size() <= head.size() ||
            CompareStringOrdinal(serviceName.c_str(), int(head.size()), head.c_str(), -1, TRUE) !=
                CSTR_EQUAL)
            continue;
        const std::wstring digits = serviceName.substr(head.size());
        const std::optional<environment::Port> port = environment::Port::Parse(digits);
        // Only the name InstanceName makes for that port: no leading zero.
        if (port && port->Text() == digits) return port;
    }
    return std::nullopt;
}

std::wstring ServiceToolCommand(const std::wstring& serverDir, const wchar_t* action,
                                environment::Port port) {
    return CommandLine(
        serverDir + outside::kServiceTool,
        L" " + std::wstring(action) + outside::kToolNameSwitch + InstanceName(serverDir, port));
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
