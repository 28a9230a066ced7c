// The installer's message dialogs: one modal dialog with Slovak Yes/No
// captions, the error box and the yes/no question, shown as they are asked.
// Where a run's reports go instead of a box is wizard/Reporting.h.
#pragma once

#include <cstdint>
#include <string>

namespace wizard {

// Dialog types and button sets as the toolkit's message dialog takes them.
enum DialogType : int { kDialogWarning = 0, kDialogError = 1, kDialogInformation = 2, kDialogConfirmation = 3 };
enum DialogButtons : int { kButtonYes = 1, kButtonNo = 2, kButtonOK = 4 };
// Modal results.
enum ModalResult : int { kResultNone = 0, kResultOK = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

// The button carrying `defaultResult` is the default one and has the focus.
int ShowDialog(const std::wstring& message, const std::wstring& caption, int type, int buttons,
               int32_t defaultResult);
int ShowError(const std::wstring& message);
int AskQuestion(const std::wstring& message);

}  // namespace wizard
