// Top-level windows: a form with controls from a layout, modal result and
// the keyboard rules of a dialog (Enter presses the focused or the default
// button, Escape the cancel button, Tab moves between controls).
#pragma once

#include "toolkit/Controls.h"

namespace toolkit {

struct FormDesc {
    const wchar_t* caption = L"";
    int clientWidth = 0, clientHeight = 0;  // 96-DPI pixels
    const Font* font = &kSansSerif8;
};

// Key handler: gets the virtual key; setting it to 0 consumes the key.
using KeyHandler = std::function<void(WORD& key)>;

class Form : public Window, public ControlSet {
public:
    // A fixed-border dialog window with only the close icon, not yet shown.
    // Its form events are bound by name: "FormShow" runs each time the form
    // is shown, "FormClose" when it closes.
    explicit Form(const FormDesc& desc, HWND owner = nullptr);
    ~Form() override;

    void BindKeyDown(KeyHandler handler) { onKeyDown_ = std::move(handler); }
    // Asked when the user closes the window (close icon, Alt+F4); returning
    // false keeps it open. Close() itself is not asked.
    void BindCloseQuery(std::function<bool()> query) { onCloseQuery_ = std::move(query); }

    // Runs "FormShow", then makes the window visible unless it was marked
    // hidden; centred on the screen (or over the owner) at the first show.
    void Show();
    // Hidden forms keep their window invisible when shown; their show step runs.
    void MarkHidden(bool hidden) { markedHidden_ = hidden; }
    bool MarkedHidden() const { return markedHidden_; }
    bool Closed() const { return closed_; }

    // Shows the form modally (the application's other windows disabled)
    // and returns its modal result once it is set.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    // Closes as the close icon does: a modal form ends with Cancel (2);
    // otherwise "FormClose" runs once and the window is hidden. Closing the
    // main form ends the application.
    void Close();

    // The control focused when the form is shown.
    void SetActiveControl(Control* control) { activeControl_ = control; }
    Control* ActiveControl() const { return activeControl_; }

    // Keyboard rules; true when the key was used.
    bool PreviewKey(WORD key);

    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    const Font& OwnFont() const { return *font_; }

    // Posts a call to run on this form's thread after the pending messages.
    void Post(Handler call);

private:
    Button* FocusedButton() const;
    Button* FirstButton(bool (Button::*flag)() const) const;
    void Center();

    const Font* font_;
    HWND owner_;
    KeyHandler onKeyDown_;
    std::function<bool()> onCloseQuery_;
    Control* activeControl_ = nullptr;
    bool markedHidden_ = false, shownOnce_ = false, closed_ = false, modal_ = false;
    int modalResult_ = 0;
    std::vector<Handler> posted_;
};

}  // namespace toolkit
