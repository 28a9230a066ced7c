#include "engine/Tools.h"

#include "engine/CommandLines.h"
#include "platform/Errors.h"

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

void RunToolChecked(const std::wstring& commandLine) {
    const ProgramResult result = RunTool(commandLine);
    if (!result.EndedWith(0)) throw platform::Error(ToolFailure(commandLine, result));
}

void RunToolInTime(const std::wstring& commandLine) {
    const ProgramResult result = RunTool(commandLine);
    if (result.state == ProgramResult::kTimedOut)
        throw platform::Error(ToolFailure(commandLine, result));
}

void OpenFirewall(const std::wstring& serverDir, InstallerUi& ui) {
    const std::wstring command = FirewallCommand(serverDir);
    // The server runs already; only the rule may be missing, so it stays.
    const ProgramResult result = RunTool(command);
    if (result.state == ProgramResult::kTimedOut) ui.ReportError(ToolFailure(command, result));
}

void CloseFirewall(const std::wstring& serverDir, InstallerUi& ui) {
    const std::wstring command = FirewallDeleteCommand(serverDir);
    const ProgramResult result = RunTool(command);
    if (result.state == ProgramResult::kTimedOut) ui.ReportError(ToolFailure(command, result));
}

}  // namespace engine
