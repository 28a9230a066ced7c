#include "engine/Programs.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace engine {

namespace {

using Kernel = platform::UniqueHandle<platform::KernelTraits>;

using platform::ContainsNoCase;

}  // namespace

int32_t RunProgram(const std::wstring& commandLine, bool minimised, bool wait) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    std::wstring mutableLine = commandLine;  // CreateProcessW may write into it
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info))
        return kProgramNotStarted;
    Kernel process(info.hProcess), thread(info.hThread);
    if (!wait) return 0;
    if (WaitForSingleObject(process.get(), ProgramTimeLimitMs()) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        // Its files and services are settled only once it has really gone.
        WaitForSingleObject(process.get(), 10000);
        return kProgramTimedOut;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int32_t>(code);
}

uint32_t ProgramTimeLimitMs() {
    constexpr uint32_t kFiveMinutes = 5 * 60 * 1000;
    wchar_t text[16];
    const DWORD n = GetEnvironmentVariableW(L"ISTREL_PROGRAM_TIME_LIMIT_MS", text, 16);
    if (n == 0 || n >= 16) return kFiveMinutes;
    wchar_t* end = nullptr;
    const unsigned long ms = wcstoul(text, &end, 10);
    return *end == L'\0' && ms > 0 && ms < kFiveMinutes ? uint32_t(ms) : kFiveMinutes;
}

std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    if (program.find(L' ') == std::wstring::npos) return program + arguments;
    return L"\"" + program + L"\"" + arguments;
}

std::wstring InstanceName(const std::wstring& serverDir, const std::wstring& port) {
    const wchar_t* prefix = ContainsNoCase(serverDir, outside::kFolder64Marker)
                                ? outside::kInstancePrefix64
                                : outside::kInstancePrefix32;
    return prefix + port;
}

std::wstring InstanceSwitch(const std::wstring& serverDir, const std::wstring& port) {
    return outside::kToolNameSwitch + InstanceName(serverDir, port);
}

std::wstring ServiceToolCommand(const std::wstring& serverDir, const wchar_t* action,
                                const std::wstring& port) {
    return CommandLine(serverDir + outside::kServiceTool,
                       L" " + std::wstring(action) + InstanceSwitch(serverDir, port));
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

bool IsAdminGroupMember() {
    Kernel token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.receive())) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()))
            return false;
    }
    // Sized by the token rather than a fixed buffer: a user in many groups
    // would otherwise read as no administrator.
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) return false;
    token.reset();

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &admins))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    bool member = false;
    for (DWORD i = 0; i < groups->GroupCount && !member; ++i)
        member = EqualSid(groups->Groups[i].Sid, admins) != FALSE;
    FreeSid(admins);
    return member;
}

}  // namespace engine
