#include "wizard/Pages.h"

#include "resources/Layouts.h"
#include "toolkit/Seam.h"

namespace wizard {

TWizFrame::TWizFrame(toolkit::Window& owner, const wchar_t* name)
    : toolkit::Frame(owner, name, resources::kPageLeft, resources::kPageTop, resources::kPageWidth,
                     resources::kPageHeight) {
    Build(*this, resources::WizFrameLayout(), OwnFont());
    lCaption = &Get<toolkit::Label>(L"lCaption");
}

void TWizFrame::Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) {
    SetVisible(bShow);
    m_PreviousFrame = Previous;
    m_NextFrame = Next;
}

TProgressFrame::TProgressFrame(toolkit::Window& owner) : TWizFrame(owner, L"ProgressFrame") {
    Build(*this, resources::ProgressFrameLayout(), OwnFont());
    lStatus = &Get<toolkit::Label>(L"lStatus");
    pbSetup = &Get<toolkit::ProgressBar>(L"pbSetup");
}

void TProgressFrame::Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) {
    TWizFrame::Initialize(bShow, Previous, Next);
    lCaption->SetCaption(L"Priebeh inštalácie");
    pbSetup->SetMax(0);
}

TEndFrame::TEndFrame(toolkit::Window& owner) : TWizFrame(owner, L"EndFrame") {
    Bind(L"lLinkClick", [this] { lLinkClick(); });
    Build(*this, resources::EndFrameLayout(), OwnFont());
    Panel1 = &Get<toolkit::Panel>(L"Panel1");
    mInfo = &Get<toolkit::Control>(L"mInfo");
    lLink = &Get<toolkit::Label>(L"lLink");
    rInfo = &Get<toolkit::Control>(L"rInfo");
}

void TEndFrame::Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) {
    TWizFrame::Initialize(bShow, Previous, Next);
    lCaption->SetCaption(L"Inštalácia ukončená");
}

void TEndFrame::SetInfo() {}

void TEndFrame::lLinkClick() {
    toolkit::ShellOpenRequest request;
    request.owner = Handle();
    request.target = lLink->Caption();
    request.showCommand = 0;
    toolkit::ShellOpen(request);
}

}  // namespace wizard
