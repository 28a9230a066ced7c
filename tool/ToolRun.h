// The tool's run: the chain of steps between the command line and the
// result file.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace quenlet {

// The four steps; returns the run's ErrorText, which the result file reports
// (empty when every step was done). Names that cannot reach the server
// exactly are refused before any step. A role that the run dropped is
// created again when a later step fails, also when that failure escapes; a
// failure of that creation follows the first error on a line of its own.
std::wstring RunSteps(const Arguments& arguments);

// The whole run: deletes an earlier result file, reads the arguments, runs
// `steps` (RunSteps, or an entry's wrapper around it) and writes the result
// file. A ToolError that no step catches escapes, and no result file is left
// then.
using Steps = std::function<std::wstring(const Arguments&)>;
void RunTool(const std::wstring& resultFilePath, const std::vector<std::wstring>& items,
             const Steps& steps = RunSteps);

// Text of the "Application Error" report for an error that escaped.
std::wstring ApplicationErrorText(const std::exception& error);

}  // namespace quenlet
