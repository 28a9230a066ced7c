// The parameters page: where the application lives, the installed server,
// and the choices for the installation (install or keep the server, its
// folder, port and mode). The install sequence reads its controls.
//
// Folders and versions the page finds live in the run's record it is built
// for, which outlives it; the page keeps only the port it found, as text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "environment/ConfigFiles.h"
#include "wizard/RunRecord.h"
#include "wizard/Pages.h"
#include "wizard/Reporting.h"

namespace wizard {

// The version number that the wizard holds for a version in number form
// ("004000005" gives 4000005); 0 when empty, not all digits, or too large.
int32_t VersionNumber(const std::wstring& numberForm);

class TNewFrame : public TWizFrame {
public:
    // `run` is the record the page fills and reads, `reports` where its
    // errors go, `kitPath` the server kit's path, `kitProblem` why an
    // unattended run cannot use the kit (empty when it can); all but the
    // path outlive the page.
    TNewFrame(toolkit::Window& owner, RunRecord& run, const Reporter& reports,
              const std::wstring& kitPath, const std::wstring& kitProblem);

    // The base page's steps, the title "Parametre inštalácie", then both
    // halves of the page.
    void Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) override;

    // Application half: the folder shown, the server folder the application
    // names (or the default one beside it), and the kit check box when the
    // kit lies in the installer's folder and the user is an administrator.
    void SetAppParam();
    // Server half: the installed server, the agreed port and mode, what is
    // enabled, the server's version and the check box.
    void SetFBParam();

    void chFBClick();       // every change of chFB's state: install or keep
    // The port the page found (the installed server's, or the one a new
    // server gets), as the files gave it.
    const environment::FoundPort& FoundPort() const { return found_; }
    void btnSearchClick();  // lets the user point to another application

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

private:
    std::wstring AppIni() const;  // data.ini of the application as shown
    void SelectMode(const std::wstring& iniCode);
    void ShowPort(const environment::FoundPort& found);  // found, and shown in edPort
    void EnableModesAndPort(bool enabled);
    void ShowInstalledServer(bool shown);  // folder, "Verzia:" and version

    RunRecord& run_;
    const Reporter& reports_;
    const std::wstring kitPath_;
    const std::wstring& kitProblem_;
    environment::FoundPort found_;
};

}  // namespace wizard
