// How a step of the run ended when no error escaped it. An error that ends
// the whole run is raised as ToolError instead; a step's own failure is
// returned, with the message that the result file reports.
#pragma once

#include <string>
#include <utility>

namespace quenlet {

class StepResult {
public:
    static StepResult Done() { return StepResult(Ending::Done, {}); }
    // Done, and a change to the database was committed.
    static StepResult Changed() { return StepResult(Ending::Changed, {}); }
    static StepResult Failed(std::wstring message) {
        return StepResult(Ending::Failed, std::move(message));
    }

    bool IsFailed() const { return ending_ == Ending::Failed; }
    bool IsChanged() const { return ending_ == Ending::Changed; }
    // The failure's message; empty for a step that did not fail.
    const std::wstring& Message() const { return message_; }

private:
    enum class Ending { Done, Changed, Failed };
    StepResult(Ending ending, std::wstring message)
        : ending_(ending), message_(std::move(message)) {}

    Ending ending_;
    std::wstring message_;
};

}  // namespace quenlet
