// The outside programs a deployment runs (the service tools, the firewall
// command) and how their runs count.
#pragma once

#include <string>

#include "engine/InstallerUi.h"
#include "engine/Processes.h"
#include "engine/Transaction.h"

namespace engine {

// Runs an outside program, minimised, and waits for it.
ProgramResult RunTool(const std::wstring& commandLine);
// As RunTool; a program that could not start or did not end with 0 raises
// platform::Error with ToolFailure's text.
void RunToolChecked(const std::wstring& commandLine);
// As RunTool for a program whose exit code says nothing; only a run past
// the time limit raises platform::Error.
void RunToolInTime(const std::wstring& commandLine);
// Why a program's run counts as failed, for the user.
std::wstring ToolFailure(const std::wstring& commandLine, const ProgramResult& result);

// The run's firewall rule, its step after the commit (journal::kFirewall):
// made for a server installed, deleted for one removed, nothing for a
// server kept. True when done; a command that failed or ran past the time
// limit is reported, with what to do by hand, and the run goes on.
bool FirewallRule(const DeploymentHeader& header, InstallerUi& ui);

}  // namespace engine
