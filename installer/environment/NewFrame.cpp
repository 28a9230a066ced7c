#include "environment/NewFrame.h"

#include "resources/Layouts.h"

namespace environment {

using namespace toolkit;

TNewFrame::TNewFrame(Window& owner) : shell::TWizFrame(owner, L"NewFrame") {
    Bind(L"chFBClick", [this] { chFBClick(); });
    Bind(L"edPortChange", [this] { edPortChange(); });
    Bind(L"btnSearchClick", [this] { btnSearchClick(); });
    Build(*this, resources::NewFrameLayout(), OwnFont());
    grpApp = &Get<GroupBox>(L"grpApp");
    lAppInfoCaption1 = &Get<Label>(L"lAppInfoCaption1");
    lAppInfoFolder = &Get<Label>(L"lAppInfoFolder");
    btnSearch = &Get<Button>(L"btnSearch");
    grpSQL = &Get<GroupBox>(L"grpSQL");
    chFB = &Get<CheckBox>(L"chFB");
    Label1 = &Get<Label>(L"Label1");
    edPort = &Get<Edit>(L"edPort");
    gSS = &Get<RadioButton>(L"gSS");
    gCS = &Get<RadioButton>(L"gCS");
    gSC = &Get<RadioButton>(L"gSC");
    lFBInfoCaption1 = &Get<Label>(L"lFBInfoCaption1");
    lFBInfoFolder = &Get<Label>(L"lFBInfoFolder");
    edFbFolder = &Get<Edit>(L"edFbFolder");
    lFBInfoCaption2 = &Get<Label>(L"lFBInfoCaption2");
    lFBInfoVersion = &Get<Label>(L"lFBInfoVersion");
}

void TNewFrame::Initialize(bool bShow, shell::TWizFrame* Previous, shell::TWizFrame* Next) {
    shell::TWizFrame::Initialize(bShow, Previous, Next);
    lCaption->SetCaption(L"Parametre inštalácie");
}

void TNewFrame::chFBClick() {}

void TNewFrame::edPortChange() {}

void TNewFrame::btnSearchClick() {}

}  // namespace environment
