// Window and Control: the object behind every HWND of the toolkit.
#include "toolkit/Control.h"

#include <stdexcept>

#include "platform/Text.h"
#include "toolkit/Application.h"

namespace toolkit {

namespace {

int g_nextId = 1000;  // control ids; low ids stay free for IDOK/IDCANCEL

std::string Narrow(std::wstring_view s) {
    return platform::ToCodePage(CP_UTF8, s);
}

}  // namespace

// ---- Window -------------------------------------------------------------

Window::~Window() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

Window* Window::From(HWND hwnd) {
    return hwnd ? reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

void Window::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool Window::Visible() const {
    return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Window::SetVisible(bool visible) {
    ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool Window::Enabled() const {
    return IsWindowEnabled(hwnd_) != FALSE;
}

void Window::SetEnabled(bool enabled) {
    EnableWindow(hwnd_, enabled);
}

std::wstring Window::Text() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Window::SetText(const std::wstring& text) {
    SetWindowTextW(hwnd_, text.c_str());
}

bool Window::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self) self->Attach(hwnd);
    }
    Window* self = From(hwnd);
    if (msg == WM_NCDESTROY && self) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    bool handled = false;
    if (self) {
        try {
            handled = self->HandleMessage(msg, wp, lp, result);
        } catch (...) {
            App().ShowException();
            handled = false;
        }
    }
    return handled ? result : DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t* Window::RegisterClassOnce(const wchar_t* name, UINT style) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return name;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
    return name;
}

// ---- Control ------------------------------------------------------------

Control::Control(Window& parent, const ControlDesc& desc, const Font& font)
    : parent_(parent),
      name_(desc.name),
      tabOrder_(desc.tabOrder),
      flags_(desc.flags),
      font_(App().FontFor(desc.font ? *desc.font : font)) {
    const Application& app = App();
    bounds_ = {app.Scale(desc.left), app.Scale(desc.top), app.Scale(desc.width),
               app.Scale(desc.height)};
}

void Control::Create(const wchar_t* cls, DWORD style, DWORD exStyle, const std::wstring& text) {
    style |= WS_CHILD;
    if (!(flags_ & kHidden)) style |= WS_VISIBLE;
    if (flags_ & kDisabled) style |= WS_DISABLED;
    if (tabOrder_ >= 0) style |= WS_TABSTOP;
    HWND hwnd = CreateWindowExW(exStyle, cls, text.c_str(), style, bounds_.left, bounds_.top,
                                bounds_.right, bounds_.bottom, parent_.Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(g_nextId++)),
                                GetModuleHandleW(nullptr), this);
    if (!hwnd) throw std::runtime_error("cannot create control " + Narrow(name_));
    if (!hwnd_) Attach(hwnd);  // standard classes; ours attached in WM_NCCREATE
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

RECT Control::Bounds() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Control::Fire(const Handler& h) {
    if (h) App().Invoke(h);
}

}  // namespace toolkit
