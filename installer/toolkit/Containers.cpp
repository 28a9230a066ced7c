// The container family: panel, group box, frame, and the messages every
// container handles for its children.
#include "toolkit/Containers.h"

#include "toolkit/Application.h"

namespace toolkit {

namespace {

COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH lb{};
    GetObjectW(brush, sizeof lb, &lb);
    return lb.lbColor;
}

Control* ControlOf(HWND hwnd) {
    return dynamic_cast<Control*>(Window::From(hwnd));
}

// Anchored children keep their right or bottom margin.
void KeepAnchors(HWND self, int width, int height) {
    for (HWND h = GetWindow(self, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        Control* c = ControlOf(h);
        if (!c || !(c->Flags() & (kAnchorRight | kAnchorBottom))) continue;
        RECT b = c->Bounds(), margins = c->Margins();
        int w = b.right - b.left, hgt = b.bottom - b.top;
        if (c->Flags() & kAnchorRight) w = width - b.left - margins.right;
        if (c->Flags() & kAnchorBottom) hgt = height - b.top - margins.bottom;
        SetWindowPos(h, nullptr, 0, 0, w, hgt, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The background brush for a static or button child, links in blue.
LRESULT ChildColours(HBRUSH background, HDC dc, HWND child) {
    SetBkColor(dc, BrushColor(background));
    Control* control = ControlOf(child);
    if (control && control->IsLink()) SetTextColor(dc, RGB(0, 0, 255));
    return reinterpret_cast<LRESULT>(background);
}

}  // namespace

// ---- Panel, GroupBox --------------------------------------------------------

Panel::Panel(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    if (desc.flags & kWhite)
        background_ = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    else if (auto* panel = dynamic_cast<Panel*>(&parent))
        background_ = panel->Background();
    else
        background_ = GetSysColorBrush(COLOR_BTNFACE);
    Create(RegisterClassOnce(L"IstrelPanel"), WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, L"");
}

bool Panel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    return ContainerMessage(*this, background_, msg, wp, lp, result);
}

GroupBox::GroupBox(Window& parent, const ControlDesc& desc, const Font& font)
    : Panel(parent, desc, font) {
    frame_ = CreateWindowExW(0, L"BUTTON", desc.caption, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0,
                             bounds_.right, bounds_.bottom, hwnd_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(frame_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

std::wstring GroupBox::Caption() const {
    wchar_t buf[256] = L"";
    GetWindowTextW(frame_, buf, 256);
    return buf;
}

void GroupBox::SetCaption(const std::wstring& caption) {
    SetWindowTextW(frame_, caption.c_str());
}

bool ContainerMessage(Window& self, HBRUSH background, UINT msg, WPARAM wp, LPARAM lp,
                      LRESULT& result) {
    switch (msg) {
        case WM_COMMAND: {
            Control* control = ControlOf(reinterpret_cast<HWND>(lp));
            if (!control || control->Handle() == nullptr) return false;
            App().Invoke([&] { control->OnCommand(HIWORD(wp)); });
            result = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            result =
                ChildColours(background, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
            return true;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(self.Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, background);
            result = 1;
            return true;
        }
        case WM_SETCURSOR: {
            Control* control = ControlOf(reinterpret_cast<HWND>(wp));
            if (!control || !control->IsLink()) return false;
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        case WM_SIZE:
            KeepAnchors(self.Handle(), LOWORD(lp), HIWORD(lp));
            return false;
        default:
            return false;
    }
}

// ---- Frame --------------------------------------------------------------------

namespace {
ControlDesc FrameDesc(const wchar_t* name, int left, int top, int width, int height) {
    ControlDesc desc{.name = name, .kind = Kind::Panel};
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    desc.flags = kWhite;
    return desc;
}
}  // namespace

Frame::Frame(Window& owner, const wchar_t* name, int left, int top, int width, int height,
             const Font& font)
    : Panel(owner, FrameDesc(name, left, top, width, height), font), ownFont_(&font) {}

Frame::~Frame() {
    DestroyControls();
}

}  // namespace toolkit
