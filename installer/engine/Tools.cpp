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

namespace {

// A command that failed or ran past the time limit is reported, with what
// to do by hand.
bool RunFirewallCommand(const std::wstring& command, const wchar_t* whatToDo, InstallerUi& ui) {
    const ProgramResult result = RunTool(command);
    if (result.EndedWith(0)) return true;
    ui.ReportError(ToolFailure(command, result) + whatToDo);
    return false;
}

}  // namespace

bool FirewallRule(const DeploymentHeader& header, InstallerUi& ui) {
    // A new server runs already; only its rule is missing, so it stays,
    // and the other PCs of the office reach it once the port is open.
    if (header.removesServer)
        return RunFirewallCommand(FirewallDeleteCommand(header.serverDir), kFirewallNotClosed, ui);
    if (header.installsServer)
        return RunFirewallCommand(FirewallCommand(header.serverDir), kFirewallNotOpened, ui);
    return true;
}

}  // namespace engine
