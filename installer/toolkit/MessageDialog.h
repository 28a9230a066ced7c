// The standard modal message dialog: an icon by dialog type, the message,
// a row of buttons from a button set. Built first, then adjusted by the
// caller (title, default button, captions), then run through the seam.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Form.h"

namespace toolkit {

// Dialog types and button-set bits, as the message dialog takes them.
enum MessageType : int { kWarning = 0, kError = 1, kInformation = 2, kConfirmation = 3 };
enum MessageButton : int { kYes = 1, kNo = 2, kOK = 4, kCancelButton = 8 };
// Modal results of the buttons.
enum Result : int { kResultNone = 0, kResultOK = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

class MessageDialog : public Form {
public:
    // Buttons in the order Yes, No, OK, Cancel, captioned "&Yes", "&No", "OK",
    // "Cancel". OK is marked default and focused when the set has it,
    // otherwise Yes; Escape presses Cancel when the set has it, otherwise No,
    // otherwise OK. The close icon ends the dialog with Cancel (2).
    MessageDialog(const std::wstring& message, int type, int buttons);

    const std::wstring& Message() const { return message_; }
    int Type() const { return type_; }
    const std::vector<Button*>& Buttons() const { return buttons_; }
    // The result that Escape gives.
    int EscapeResult() const;
    // Called once the dialog is up and modal; tests press keys from here.
    void SetOnShown(Handler onShown) { onShown_ = std::move(onShown); }

    // Shows it modally (what the real seam does).
    int Execute();
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // Modal results, the default button and the one Escape presses.
    void SetUpButtons(int buttons);
    // Sizes the window for a client area of 96-DPI pixels.
    void FitClient(int width, int height);

    std::wstring message_;
    int type_;
    std::vector<Button*> buttons_;
    Handler onShown_;
};

}  // namespace toolkit
