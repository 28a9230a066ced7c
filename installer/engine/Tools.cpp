#include "engine/Tools.h"

#include "engine/CommandLines.h"
#include "platform/Errors.h"

namespace engine {

namespace {

// After why the firewall command failed.
constexpr wchar_t kFirewallNotOpened[] =
    L" Pravidlo brány firewall pre server sa nepodarilo vytvoriť; server beží, ale ostatné "
    L"počítače sa k nemu pripoja, až keď jeho port otvoríte vo firewalle ručne.";
constexpr wchar_t kFirewallNotClosed[] =
    L" Pravidlo brány firewall pre odstránený server (\"Firebird SQL server\") sa nepodarilo "
    L"odstrániť; odstráňte ho vo firewalle ručne.";

}  // namespace

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

bool OpenFirewall(const std::wstring& serverDir, InstallerUi& ui) {
    const std::wstring command = FirewallCommand(serverDir);
    // The server runs already; only the rule is missing, so it stays, and
    // the other PCs of the office reach it once the port is open.
    const ProgramResult result = RunTool(command);
    if (result.EndedWith(0)) return true;
    ui.ReportError(ToolFailure(command, result) + kFirewallNotOpened);
    return false;
}

bool CloseFirewall(const std::wstring& serverDir, InstallerUi& ui) {
    const std::wstring command = FirewallDeleteCommand(serverDir);
    const ProgramResult result = RunTool(command);
    if (result.EndedWith(0)) return true;
    ui.ReportError(ToolFailure(command, result) + kFirewallNotClosed);
    return false;
}

}  // namespace engine
