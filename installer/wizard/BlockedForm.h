// The blocked dialog: waits, rescanning every three seconds, until no
// instance of the application runs, and lists the computers and users that
// still run one. The program keeps one hidden instance from start to end
// (its scans remove stale lock files); the install sequence shows a modal
// one through WaitForInstances.
#pragma once

#include <memory>
#include <string>

#include "engine/InstallerUi.h"
#include "environment/Instances.h"
#include "toolkit/Form.h"

namespace wizard {

inline constexpr toolkit::Font kTahoma11{L"Tahoma", 11};

class TWizard;

class TBlockedForm : public toolkit::Form, public environment::InstanceListView {
public:
    // Builds the dialog (centred over `owner` when shown); nothing is
    // scanned before StartUp.
    explicit TBlockedForm(HWND owner = nullptr);
    // Built over `wizard` and started up for its run: the folder its page
    // shows, stop requests when it is unattended, its way of reporting.
    explicit TBlockedForm(const TWizard& wizard);
    ~TBlockedForm() override;

    // The stop icon, m_Dir = `appDir` (ending in "\"; empty: no scan ever),
    // the first scan, which also sends stop requests when `stopRequests`
    // (an unattended run), then the rescan timer, shown or not. Every scan
    // tells `onLink` of the files it left alone because they are links.
    void StartUp(const std::wstring& appDir, bool stopRequests,
                 const environment::ErrorNotice& onUnreadable,
                 const environment::LinkNotice& onLink = nullptr);
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
    environment::LinkNotice onLink_;
    std::unique_ptr<toolkit::Control> iconControl_;
    bool labelEnlarged_ = false;
};

// False when no instance runs in `dir` (nothing shown). Otherwise shows a
// modal blocked dialog over `wizard` until the instances have ended (false)
// or the user gives up with "Storno" or the close icon (true). `dir` ends
// in "\".
bool IsAppRunningWiz(const std::wstring& dir, const TWizard& wizard);

// As IsAppRunningWiz, the dialog ending by itself after `limitSeconds` when
// that is not negative; 0 shows no dialog at all. Timed out, a last scan
// says who still runs the application.
engine::WaitResult WaitForInstances(const std::wstring& dir, int32_t limitSeconds,
                                    const TWizard& wizard);

// The hidden blocked dialog that the program keeps from start to end,
// started up with `appDir` as TBlockedForm::StartUp; its timer runs
// although it is never shown.
std::unique_ptr<toolkit::Form> CreateBlockedForm(const std::wstring& appDir, bool stopRequests,
                                                 const environment::ErrorNotice& onUnreadable,
                                                 const environment::LinkNotice& onLink = nullptr);

}  // namespace wizard
