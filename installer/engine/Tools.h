// The outside programs a deployment runs (the service tools, the firewall
// command) and how their runs count.
#pragma once

#include <string>

#include "engine/InstallerUi.h"
#include "engine/Processes.h"

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

// The firewall rule for the server in `serverDir`: true when it was made.
// A command that failed or ran past the time limit is reported, with what
// to do by hand; the run goes on.
bool OpenFirewall(const std::wstring& serverDir, InstallerUi& ui);

// Removes that rule: true when it went; a failure is reported as above.
bool CloseFirewall(const std::wstring& serverDir, InstallerUi& ui);

}  // namespace engine
