// The button family: push button, check box, radio button.
#include "toolkit/Buttons.h"

#include "toolkit/Application.h"
#include "toolkit/Form.h"

namespace toolkit {

// ---- Button -------------------------------------------------------------

Button::Button(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_PUSHBUTTON, 0, desc.caption);
    if (desc.flags & kDefault) SetDefault(true);
    cancel_ = (desc.flags & kCancel) != 0;
}

void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED) Click();
}

void Button::Click() {
    if (modalResult_ != 0) {
        if (auto* form = dynamic_cast<Form*>(Window::From(GetAncestor(hwnd_, GA_ROOT))))
            form->SetModalResult(modalResult_);
    }
    Fire(onClick_);
}

void Button::SetDefault(bool isDefault) {
    default_ = isDefault;
    SendMessageW(hwnd_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// ---- CheckBox, RadioButton ------------------------------------------------

CheckBox::CheckBox(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_CHECKBOX, 0, desc.caption);
    if (desc.flags & kChecked) SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

bool CheckBox::Checked() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (checked == Checked()) return;
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Fire(onClick_);
}

void CheckBox::OnCommand(WORD code) {
    if (code == BN_CLICKED) SetChecked(!Checked());
}

RadioButton::RadioButton(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_RADIOBUTTON, 0, desc.caption);
    if (desc.flags & kChecked) SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

bool RadioButton::Checked() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RadioButton::SetChecked(bool checked) {
    if (checked == Checked()) return;
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked) return;
    for (HWND h = GetWindow(parent_.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h == hwnd_) continue;
        if (auto* other = dynamic_cast<RadioButton*>(Window::From(h)))
            SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    Fire(onClick_);
}

void RadioButton::OnCommand(WORD code) {
    if (code == BN_CLICKED) SetChecked(true);
}

}  // namespace toolkit
