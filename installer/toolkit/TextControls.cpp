// The text family: label, edit, read-only rich text, bevel line.
#include "toolkit/TextControls.h"

#include <richedit.h>

#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "toolkit/Gdi.h"

namespace toolkit {

// ---- Label --------------------------------------------------------------

Label::Label(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font), autoSize_(desc.width == 0) {
    Create(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, desc.caption);
    if (autoSize_) FitText();
}

void Label::SetCaption(const std::wstring& caption) {
    SetText(caption);
    if (autoSize_) FitText();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::FitText() {
    std::wstring text = Text();
    RECT r{0, 0, 0, 0};
    {
        WindowDc dc(hwnd_);
        Selection font(dc.get(), font_);
        DrawTextW(dc.get(), text.empty() ? L" " : text.c_str(), -1, &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    SetWindowPos(hwnd_, nullptr, 0, 0, text.empty() ? 0 : r.right,
                 bounds_.bottom ? bounds_.bottom : r.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::OnCommand(WORD code) {
    if (code == STN_CLICKED) Fire(onClick_);
}

// ---- Edit ---------------------------------------------------------------

Edit::Edit(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"EDIT", ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, desc.caption);
}

void Edit::OnCommand(WORD code) {
    if (code == EN_CHANGE) Fire(onChange_);
}

// ---- RichText, Bevel --------------------------------------------------------

RichText::RichText(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    // The rich-edit classes live in DLLs that register them when loaded.
    static const wchar_t* cls = [] {
        // By full path: the installer runs elevated from a folder that
        // others may write to, and a bare name searches that folder first.
        const std::wstring system = platform::SystemDir();
        if (LoadLibraryW((system + L"msftedit.dll").c_str())) return MSFTEDIT_CLASS;
        LoadLibraryW((system + L"riched20.dll").c_str());
        return RICHEDIT_CLASSW;
    }();
    Create(cls, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, desc.caption);
}

Bevel::Bevel(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"STATIC", SS_ETCHEDHORZ, 0, L"");
}

}  // namespace toolkit
