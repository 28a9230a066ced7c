#include "wizard/Dialogs.h"

#include "toolkit/MessageDialog.h"
#include "toolkit/Seam.h"

namespace wizard {

int ShowDialog(const std::wstring& message, const std::wstring& caption, int type, int buttons,
               int32_t defaultResult) {
    toolkit::MessageDialog dialog(message, type, buttons);
    dialog.SetText(caption);
    for (toolkit::Button* button : dialog.Buttons()) {
        bool isDefault = button->ModalResult() == defaultResult;
        button->SetDefault(isDefault);
        if (isDefault) dialog.SetActiveControl(button);
        if (button->ModalResult() == kResultYes) button->SetCaption(L"&Ano");
        if (button->ModalResult() == kResultNo) button->SetCaption(L"&Nie");
    }
    return toolkit::Ui().RunMessage(dialog);
}

int ShowError(const std::wstring& message) {
    return ShowDialog(message, L"Chyba", kDialogError, kButtonOK, kResultOK);
}

int AskQuestion(const std::wstring& message) {
    // OK is on no button of a question: nothing is marked default and the
    // focus stays on Yes.
    return ShowDialog(message, L"Otázka", kDialogConfirmation, kButtonYes | kButtonNo, kResultOK);
}

}  // namespace wizard
