// The kit's extraction into the server folder as the archive reader reports
// it: the progress bar moved by new units only, the user's "Storno" asked
// of the user interface, and what an entry that cannot be extracted does.
// One object per extraction; its state is nobody else's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/ArchiveReader.h"
#include "engine/InstallerUi.h"
#include "engine/Transaction.h"

namespace engine {

class KitExtraction {
public:
    // `requiredBytes`: the progress units of the whole kit.
    KitExtraction(Transaction& transaction, std::wstring serverDir, int32_t requiredBytes,
                  InstallerUi& ui);

    // The reader's events.
    void OnOverallProgress(double progress, bool& cancel);
    void OnFileFailure(const std::wstring& fileName, const std::wstring& errorMessage,
                       archive::TZFProcessFileFailureAction& action);

    // Raises platform::Error with the failure of the first entry that ended
    // the extraction; nothing while none did.
    void RaiseFailure() const;

    const int32_t m_RequiredBytes;
    // The most units the bar has shown.
    int32_t m_ProgressPrevious = 0;

private:
    Transaction& transaction_;
    const std::wstring serverDir_;
    InstallerUi& ui_;
    std::optional<std::wstring> failure_;
};

}  // namespace engine
