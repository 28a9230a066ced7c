// The button family: push button, check box, radio button.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Button : public Control {
public:
    Button(Window& parent, const ControlDesc& desc, const Font& font);
    void OnCommand(WORD code) override;
    void Click();  // as a press: runs the click handler

    bool IsDefault() const { return default_; }
    void SetDefault(bool isDefault);  // marks it (BS_DEFPUSHBUTTON) and lets Enter press it
    bool IsCancel() const { return cancel_; }
    void SetCancel(bool isCancel) { cancel_ = isCancel; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

private:
    bool default_ = false, cancel_ = false;
    int modalResult_ = 0;
};

// Check box whose click handler runs on every change of state, by the user or
// by code, and not when the state is set to what it already is.
class CheckBox : public Control {
public:
    CheckBox(Window& parent, const ControlDesc& desc, const Font& font);
    bool Checked() const;
    void SetChecked(bool checked);
    void OnCommand(WORD code) override;
};

// Radio button: checking one unchecks the radio buttons of the same parent.
class RadioButton : public Control {
public:
    RadioButton(Window& parent, const ControlDesc& desc, const Font& font);
    bool Checked() const;
    void SetChecked(bool checked);
    void OnCommand(WORD code) override;
};

}  // namespace toolkit
