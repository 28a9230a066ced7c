// The parameters page: where the application lives, the installed server,
// and the choices for the installation (install or keep the server, its
// folder, port and mode). The install sequence reads its controls.
#pragma once

#include "shell/Pages.h"

namespace environment {

class TNewFrame : public shell::TWizFrame {
public:
    explicit TNewFrame(toolkit::Window& owner);

    // The base page's steps, then the title "Parametre inštalácie".
    void Initialize(bool bShow, shell::TWizFrame* Previous, shell::TWizFrame* Next) override;

    void chFBClick();      // every change of chFB's state
    void edPortChange();   // every change of the port text
    void btnSearchClick();

    toolkit::GroupBox* grpApp;
    toolkit::Label* lAppInfoCaption1;
    toolkit::Label* lAppInfoFolder;
    toolkit::Button* btnSearch;
    toolkit::GroupBox* grpSQL;
    toolkit::CheckBox* chFB;
    toolkit::Label* Label1;
    toolkit::Edit* edPort;
    toolkit::RadioButton* gSS;
    toolkit::RadioButton* gCS;
    toolkit::RadioButton* gSC;
    toolkit::Label* lFBInfoCaption1;
    toolkit::Label* lFBInfoFolder;
    toolkit::Edit* edFbFolder;
    toolkit::Label* lFBInfoCaption2;
    toolkit::Label* lFBInfoVersion;
};

}  // namespace environment
