// How a step of the archive layer that does not raise reports: success, or
// the text for the user saying what went wrong. The ZIP records, the file
// sides and single entries all report this way; the reader turns a failed
// outcome into ArchiveError or hands it to its failure event.
#pragma once

#include <string>
#include <utility>

namespace archive {

class [[nodiscard]] Outcome {
public:
    Outcome() = default;  // success
    static Outcome Fail(std::wstring text) {
        Outcome failed;
        failed.failed_ = true;
        failed.text_ = std::move(text);
        return failed;
    }

    bool Ok() const { return !failed_; }
    // Why it failed; empty on success.
    const std::wstring& Error() const { return text_; }

private:
    bool failed_ = false;
    std::wstring text_;
};

}  // namespace archive
