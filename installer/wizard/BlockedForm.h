// The blocked dialog: waits, rescanning every three seconds, until no
// instance of the application runs, and lists the computers and users that
// still run one. The program keeps one hidden instance from start to end
// (its scans remove stale lock files); the install sequence shows a modal
// one through IsAppRunningWiz.
#pragma once

#include <memory>
#include <string>

#include "engine/InstallerUi.h"
#include "environment/Instances.h"
#include "toolkit/Form.h"

namespace wizard {

inline constexpr toolkit::Font kTahoma11{L"Tahoma", 11};

class TBlockedForm : public toolkit::Form, public environment::InstanceListView {
public:
    // Builds the dialog (centred over `owner` when shown) and runs
    // FormCreate; the timer runs from here on, shown or not.
    explicit TBlockedForm(HWND owner = nullptr);
    ~TBlockedForm() override;

    // The stop icon, m_Dir from the parameters page, the first scan (stop
    // requests only in an unattended run).
    void FormCreate();
    // Rescan without stop requests; none left: modal result OK.
    void TimerTimer();
    // Modal result Cancel.
    void StornoClick();

    void AddRow(const std::wstring& computer, const std::wstring& user) override;
    void ShowExecutableNotice() override;

    toolkit::Label* Label1;
    toolkit::Control* icon;
    toolkit::ListView* blockedList;
    toolkit::Button* Storno;
    std::unique_ptr<toolkit::Timer> Timer;

    std::wstring m_Dir;  // the application folder, ending in "\"

private:
    std::unique_ptr<toolkit::Control> iconControl_;
    bool labelEnlarged_ = false;
};

// False when no instance runs (nothing shown). Otherwise shows a modal
// blocked dialog over the wizard until the instances have ended (false) or
// the user gives up with "Storno" or the close icon (true). `dir` ends in "\".
bool IsAppRunningWiz(const std::wstring& dir);

// As IsAppRunningWiz, the dialog ending by itself after `limitSeconds` when
// that is not negative; 0 shows no dialog at all. Timed out, a last scan
// says who still runs the application.
engine::WaitResult WaitForInstances(const std::wstring& dir, int32_t limitSeconds);

// The hidden blocked dialog that the program keeps from start to end; its
// creation step and timer run although it is never shown.
std::unique_ptr<toolkit::Form> CreateBlockedForm();

}  // namespace wizard
