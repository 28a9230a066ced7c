#include "engine/Tools.h"

#include "engine/CommandLines.h"
#include "engine/Steps.h"

namespace engine {

ProgramResult RunTool(const std::wstring& commandLine) {
    return RunProgram(commandLine, ProgramWindow::kMinimised, ProgramWait::kUntilEnd);
}

std::wstring ToolFailure(const std::wstring& commandLine, const ProgramResult& result) {
    if (result.state == ProgramResult::kNotStarted)
        return L"Príkaz " + commandLine + L" sa nedá spustiť.";
    if (result.state == ProgramResult::kTimedOut)
        return L"Príkaz " + commandLine + L" neskončil v stanovenom čase, a preto bol ukončený.";
    return L"Príkaz " + commandLine + L" skončil s chybou " + std::to_wstring(result.exitCode) +
           L".";
}

bool RunToolOrFail(Installation& run, const std::wstring& commandLine) {
    const ProgramResult result = RunTool(commandLine);
    return result.EndedWith(0) || Fail(run, ToolFailure(commandLine, result));
}

bool RunToolInTime(Installation& run, const std::wstring& commandLine) {
    const ProgramResult result = RunTool(commandLine);
    return result.state != ProgramResult::kTimedOut || Fail(run, ToolFailure(commandLine, result));
}

void OpenFirewall(const std::wstring& serverDir, InstallerUi& ui) {
    const std::wstring command = FirewallCommand(serverDir);
    // The server runs already; only the rule may be missing, so it stays.
    const ProgramResult result = RunTool(command);
    if (result.state == ProgramResult::kTimedOut) ui.ReportFailure(ToolFailure(command, result));
}

}  // namespace engine
