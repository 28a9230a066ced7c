// The wizard's pages: the base page with its title and links to the
// previous and next page, the progress page and the end page. The
// parameters page is wizard/NewFrame.h.
#pragma once

#include "toolkit/Controls.h"

namespace wizard {

class TWizFrame : public toolkit::Frame {
public:
    // A white page at the wizard's page place, with its title label.
    TWizFrame(toolkit::Window& owner, const wchar_t* name);

    // Shows or hides the page and remembers its neighbours (each may be
    // nullptr). Pages extend it, running this first.
    virtual void Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next);

    toolkit::Label* lCaption;
    TWizFrame* m_PreviousFrame = nullptr;
    TWizFrame* m_NextFrame = nullptr;
};

class TProgressFrame : public TWizFrame {
public:
    explicit TProgressFrame(toolkit::Window& owner);
    // Title "Priebeh inštalácie", bar maximum 0.
    void Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) override;

    toolkit::Label* lStatus;  // the install sequence's status text
    toolkit::ProgressBar* pbSetup;
};

class TEndFrame : public TWizFrame {
public:
    explicit TEndFrame(toolkit::Window& owner);
    // Title "Inštalácia ukončená".
    void Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) override;
    // Called before the end page is shown; the page keeps its fixed texts.
    void SetInfo();
    // Asks the shell to open the guide's address; a failure is ignored.
    void lLinkClick();

    toolkit::Panel* Panel1;
    toolkit::Control* mInfo;
    toolkit::Label* lLink;
    toolkit::Control* rInfo;
};

}  // namespace wizard
