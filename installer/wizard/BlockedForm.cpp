#include "wizard/BlockedForm.h"

#include <commctrl.h>

#include <array>

#include "toolkit/Application.h"
#include "wizard/Dialogs.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

namespace wizard {

namespace {

using toolkit::Kind;

constexpr wchar_t kRunningOn[] = L" na nasledovných počítačoch: ";
constexpr wchar_t kExecutableInUse[] = L" a jeho súbor bin\\exe\\Kadrix.exe je používaný";
constexpr int kLabelGrowth = 26;
constexpr UINT kRescanMs = 3000;

const toolkit::FormDesc kBlockedFormDesc{
    .caption = L"Upozornenie", .clientWidth = 362, .clientHeight = 179, .font = &kTahoma11};

const std::array<toolkit::ControlDesc, 3> kBlockedLayout = {{
    {.name = L"Label1",
     .kind = Kind::Label,
     .left = 64,
     .top = 8,
     .width = 281,
     .height = 26,
     .caption = kWaitingText},
    {.name = L"blockedList",
     .kind = Kind::ListView,
     .left = 64,
     .top = 40,
     .width = 281,
     .height = 100,
     .tabOrder = 0},
    {.name = L"Storno",
     .kind = Kind::Button,
     .left = 144,
     .top = 146,
     .width = 75,
     .height = 25,
     .caption = L"Storno",
     .tabOrder = 1,
     .onClick = L"StornoClick"},
}};

// The icon's place; the toolkit's picture draws PNG resources, the system's
// icons come through a static control.
const toolkit::ControlDesc kIconDesc{
    .name = L"icon", .kind = Kind::Picture, .left = 16, .top = 16, .width = 32, .height = 32};

class IconControl : public toolkit::Control {
public:
    IconControl(toolkit::Window& parent, const toolkit::ControlDesc& desc,
                const toolkit::Font& font)
        : Control(parent, desc, font) {
        Create(L"STATIC", SS_ICON | SS_REALSIZECONTROL, 0, L"");
    }
    void SetIcon(HICON icon) {
        SendMessageW(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
};

void AutoSizeColumns(toolkit::ListView& list) {
    for (int column = 0; column < 2; ++column)
        SendMessageW(list.Handle(), LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE_USEHEADER);
}

// Who runs the application, worded to follow "stále beží".
class RunningList : public environment::InstanceListView {
public:
    void AddRow(const std::wstring& computer, const std::wstring& user) override {
        text += (text.empty() ? kRunningOn : L", ") + computer + L" (" + user + L")";
    }
    void ShowExecutableNotice() override { text = kExecutableInUse; }

    std::wstring text;
};

}  // namespace

TBlockedForm::TBlockedForm(HWND owner) : toolkit::Form(kBlockedFormDesc, owner) {
    Bind(L"StornoClick", [this] { StornoClick(); });
    Build(*this, kBlockedLayout, OwnFont());
    Label1 = &Get<toolkit::Label>(L"Label1");
    blockedList = &Get<toolkit::ListView>(L"blockedList");
    Storno = &Get<toolkit::Button>(L"Storno");
    iconControl_ = std::make_unique<IconControl>(*this, kIconDesc, OwnFont());
    icon = iconControl_.get();
    blockedList->AddColumn(L"Názov", 0);
    blockedList->AddColumn(L"Prihlásený užívateľ", 0);
    AutoSizeColumns(*blockedList);
    Storno->SetModalResult(kResultCancel);
}

TBlockedForm::TBlockedForm(const TWizard& wizard) : TBlockedForm(wizard.Handle()) {
    StartUp(wizard.ShownAppDir(), wizard.Run().m_bSilentInstall, wizard.Reports().Notice(),
            wizard.Reports().LinkNotice());
}

TBlockedForm::~TBlockedForm() {
    Timer.reset();
    iconControl_.reset();
}

void TBlockedForm::StartUp(const std::wstring& appDir, bool stopRequests,
                           const environment::ErrorNotice& onUnreadable,
                           const environment::LinkNotice& onLink) {
    toolkit::App().Invoke([&] {
        static_cast<IconControl*>(icon)->SetIcon(LoadIconW(nullptr, IDI_HAND));
        m_Dir = appDir;
        onLink_ = onLink;
        // Without a folder a scan would look below the current directory.
        if (!m_Dir.empty())
            environment::IsAppRunning(m_Dir, this, stopRequests, onUnreadable, onLink_);
    });
    Timer = std::make_unique<toolkit::Timer>(kRescanMs, [this] { TimerTimer(); });
}

void TBlockedForm::TimerTimer() {
    blockedList->Clear();
    if (m_Dir.empty()) return;
    if (!environment::IsAppRunning(m_Dir, this, false, nullptr, onLink_)) SetModalResult(kResultOK);
}

void TBlockedForm::StornoClick() {
    // A modal dialog ends with Cancel; the hidden one has nothing to end.
    Close();
}

void TBlockedForm::AddRow(const std::wstring& computer, const std::wstring& user) {
    blockedList->AddRow({computer, user});
    AutoSizeColumns(*blockedList);
}

void TBlockedForm::ShowExecutableNotice() {
    blockedList->SetVisible(false);
    if (!labelEnlarged_) {
        labelEnlarged_ = true;
        RECT b = Label1->Bounds();
        SetWindowPos(Label1->Handle(), nullptr, 0, 0, b.right - b.left,
                     b.bottom - b.top + toolkit::App().Scale(kLabelGrowth),
                     SWP_NOMOVE | SWP_NOZORDER);
    }
    Label1->SetCaption(kExecutableText);
}

bool IsAppRunningWiz(const std::wstring& dir, const TWizard& wizard) {
    return WaitForInstances(dir, -1, wizard).outcome == engine::WaitResult::kGaveUp;
}

engine::WaitResult WaitForInstances(const std::wstring& dir, int32_t limitSeconds,
                                    const TWizard& wizard) {
    using engine::WaitResult;
    const environment::LinkNotice onLink = wizard.Reports().LinkNotice();
    if (!environment::IsAppRunning(dir, nullptr, false, nullptr, onLink)) return {};
    if (limitSeconds != 0) {
        TBlockedForm form(wizard);
        bool timedOut = false;
        std::unique_ptr<toolkit::Timer> deadline;
        if (limitSeconds > 0)
            deadline = std::make_unique<toolkit::Timer>(UINT(limitSeconds) * 1000, [&] {
                timedOut = true;
                form.SetModalResult(kResultCancel);
            });
        if (form.ShowModal() != kResultCancel) return {};
        if (!timedOut) return {WaitResult::kGaveUp, L""};
    }
    RunningList running;
    if (!environment::IsAppRunning(dir, &running, false, nullptr, onLink)) return {};
    return {WaitResult::kTimedOut, running.text};
}

std::unique_ptr<toolkit::Form> CreateBlockedForm(const std::wstring& appDir, bool stopRequests,
                                                 const environment::ErrorNotice& onUnreadable,
                                                 const environment::LinkNotice& onLink) {
    auto form = std::make_unique<TBlockedForm>();
    form->StartUp(appDir, stopRequests, onUnreadable, onLink);
    return form;
}

}  // namespace wizard
