// The text family: label, edit, read-only rich text, bevel line.
#pragma once

#include "toolkit/Control.h"

namespace toolkit {

class Label : public Control {
public:
    Label(Window& parent, const ControlDesc& desc, const Font& font);
    void SetCaption(const std::wstring& caption) override;
    void OnCommand(WORD code) override;

private:
    void FitText();
    bool autoSize_;
};

class Edit : public Control {
public:
    Edit(Window& parent, const ControlDesc& desc, const Font& font);
    void OnCommand(WORD code) override;
};

class RichText : public Control {
public:
    RichText(Window& parent, const ControlDesc& desc, const Font& font);
};

class Bevel : public Control {
public:
    Bevel(Window& parent, const ControlDesc& desc, const Font& font);
};

}  // namespace toolkit
