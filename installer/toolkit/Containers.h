// The container family: panel, group box, frame, and the messages every
// container handles for its children.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/ControlSet.h"

namespace toolkit {

// A child window that holds controls: panel, group box, frame. It passes its
// children's notifications to them and paints their background.
class Panel : public Control {
public:
    Panel(Window& parent, const ControlDesc& desc, const Font& font);
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    HBRUSH Background() const { return background_; }

protected:
    HBRUSH background_;
};

class GroupBox : public Panel {
public:
    GroupBox(Window& parent, const ControlDesc& desc, const Font& font);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;

private:
    HWND frame_ = nullptr;  // the BS_GROUPBOX button drawn behind the children
};

// Notifications, colours and cursors that every container handles the same
// way for its children.
bool ContainerMessage(Window& self, HBRUSH background, UINT msg, WPARAM wp, LPARAM lp,
                      LRESULT& result);

// A page: a child panel of a form with its own layout and handlers.
class Frame : public Panel, public ControlSet {
public:
    // A white child panel at the given place of the owner (96-DPI pixels).
    Frame(Window& owner, const wchar_t* name, int left, int top, int width, int height,
          const Font& font = kSansSerif8);
    ~Frame() override;
    const Font& OwnFont() const { return *ownFont_; }

private:
    const Font* ownFont_;
};

}  // namespace toolkit
