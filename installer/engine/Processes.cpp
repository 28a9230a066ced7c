#include "engine/Processes.h"

#include <windows.h>

#include <cwchar>

#include "platform/Paths.h"
#include "platform/UniqueHandle.h"

namespace engine {

ProgramResult RunProgram(const std::wstring& commandLine, ProgramWindow window, ProgramWait wait) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = window == ProgramWindow::kMinimised ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    std::wstring mutableLine = commandLine;  // CreateProcessW may write into it
    const std::wstring folder = platform::SystemDir();
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, folder.c_str(), &startup, &info))
        return {ProgramResult::kNotStarted};
    platform::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    if (wait == ProgramWait::kNo) return {ProgramResult::kStarted};
    if (WaitForSingleObject(process.get(), ProgramTimeLimitMs()) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        // Its files and services are settled only once it has really gone.
        WaitForSingleObject(process.get(), 10000);
        return {ProgramResult::kTimedOut};
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return {ProgramResult::kEnded, static_cast<int32_t>(code)};
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

}  // namespace engine
