#include "toolkit/Form.h"

#include "toolkit/Application.h"

namespace toolkit {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

struct DisabledWindows {
    std::vector<HWND> list;
    HWND except;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<DisabledWindows*>(lp);
    if (hwnd != d->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        d->list.push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

Form::Form(const FormDesc& desc, HWND owner) : font_(desc.font), owner_(owner) {
    const Application& app = App();
    RECT r{0, 0, app.Scale(desc.clientWidth), app.Scale(desc.clientHeight)};
    DWORD exStyle = kFormExStyle | (owner ? 0 : WS_EX_APPWINDOW);
    AdjustWindowRectEx(&r, kFormStyle, FALSE, exStyle);
    CreateWindowExW(exStyle, RegisterClassOnce(L"IstrelForm", CS_DBLCLKS), desc.caption, kFormStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, owner, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (!hwnd_) throw std::runtime_error("cannot create window");
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(App().FontFor(*font_)), FALSE);
}

Form::~Form() { DestroyControls(); }

void Form::Show() {
    if (closed_ || !hwnd_) return;
    if (const Handler* h = Lookup(L"FormShow", false)) App().Invoke(*h);
    if (markedHidden_ || closed_ || !hwnd_) return;
    if (!shownOnce_) Center();
    shownOnce_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    if (activeControl_ && activeControl_->Visible() && activeControl_->Enabled())
        SetFocus(activeControl_->Handle());
    else if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE))
        SetFocus(first);
}

int Form::ShowModal() {
    DisabledWindows disabled{{}, hwnd_};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
    modal_ = true;
    modalResult_ = 0;
    Application& app = App();
    Show();
    while (modalResult_ == 0) {
        if (!app.HandleMessage()) {
            modalResult_ = 2;  // the application is ending
            break;
        }
    }
    for (HWND h : disabled.list) EnableWindow(h, TRUE);
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
    modal_ = false;
    return modalResult_;
}

void Form::Close() {
    if (modal_) {
        modalResult_ = 2;
        return;
    }
    if (closed_) return;
    closed_ = true;
    if (const Handler* h = Lookup(L"FormClose", false)) App().Invoke(*h);
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
    if (App().MainForm() == this) App().Terminate();
}

bool Form::PreviewKey(WORD key) {
    if (onKeyDown_) {
        App().Invoke([&] { onKeyDown_(key); });
        if (key == 0) return true;
    }
    Button* button = nullptr;
    if (key == VK_RETURN) {
        button = FocusedButton();
        if (!button) button = FirstButton(&Button::IsDefault);
    } else if (key == VK_ESCAPE) {
        button = FirstButton(&Button::IsCancel);
    }
    if (!button) return false;
    button->Click();
    return true;
}

Button* Form::FocusedButton() const {
    HWND focus = GetFocus();
    if (!focus || GetAncestor(focus, GA_ROOT) != hwnd_) return nullptr;
    auto* b = dynamic_cast<Button*>(Window::From(focus));
    return b && b->Visible() && b->Enabled() ? b : nullptr;
}

Button* Form::FirstButton(bool (Button::*flag)() const) const {
    for (const auto& c : Controls()) {
        auto* b = dynamic_cast<Button*>(c.get());
        if (b && (b->*flag)() && b->Visible() && b->Enabled()) return b;
    }
    return nullptr;
}

void Form::Center() {
    RECT area, self;
    GetWindowRect(hwnd_, &self);
    if (owner_ && IsWindowVisible(owner_))
        GetWindowRect(owner_, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    int w = self.right - self.left, h = self.bottom - self.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::Post(Handler call) {
    posted_.push_back(std::move(call));
    PostMessageW(hwnd_, kRunPosted, 0, 0);
}

bool Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_CLOSE: {
            bool mayClose = true;
            if (onCloseQuery_) App().Invoke([&] { mayClose = onCloseQuery_(); });
            if (mayClose) Close();
            result = 0;
            return true;
        }
        case kRunPosted: {
            std::vector<Handler> calls;
            calls.swap(posted_);
            for (auto& call : calls) App().Invoke(call);
            result = 0;
            return true;
        }
        default:
            return ContainerMessage(*this, GetSysColorBrush(COLOR_BTNFACE), msg, wp, lp, result);
    }
}

}  // namespace toolkit
