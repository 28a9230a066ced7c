#include "toolkit/MessageDialog.h"

#include <algorithm>

#include "toolkit/Application.h"
#include "toolkit/Gdi.h"

namespace toolkit {

namespace {

constexpr Font kMessageFont{L"Tahoma", 11};
constexpr int kMargin = 12, kIcon = 32, kButtonW = 75, kButtonH = 25, kGap = 8, kMaxText = 420;

struct ButtonKind {
    int bit;
    const wchar_t* name;
    const wchar_t* caption;
    int result;
};
constexpr ButtonKind kButtonKinds[] = {
    {kYes, L"Yes", L"&Yes", kResultYes},
    {kNo, L"No", L"&No", kResultNo},
    {kOK, L"OK", L"OK", kResultOK},
    {kCancelButton, L"Cancel", L"Cancel", kResultCancel},
};

const wchar_t* StandardTitle(int type) {
    switch (type) {
        case kWarning: return L"Warning";
        case kError: return L"Error";
        case kInformation: return L"Information";
        default: return L"Confirmation";
    }
}

const wchar_t* IconFor(int type) {
    switch (type) {
        case kWarning: return IDI_WARNING;
        case kError: return IDI_ERROR;
        case kInformation: return IDI_INFORMATION;
        default: return IDI_QUESTION;
    }
}

// Size of the message text when wrapped at the widest line allowed (96 DPI).
SIZE MeasureText(const std::wstring& text) {
    Application& app = App();
    RECT r{0, 0, app.Scale(kMaxText), 0};
    {
        WindowDc dc(nullptr);
        Selection font(dc.get(), app.FontFor(kMessageFont));
        DrawTextW(dc.get(), text.c_str(), -1, &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    }
    // Back to 96-DPI pixels, rounding up.
    return {MulDiv(r.right, 96, app.Dpi()) + 1, MulDiv(r.bottom, 96, app.Dpi()) + 1};
}

FormDesc DialogDesc(int type) {
    FormDesc desc;
    desc.caption = StandardTitle(type);
    desc.font = &kMessageFont;
    return desc;
}

int ButtonCount(int buttons) {
    int count = 0;
    for (const auto& k : kButtonKinds) count += (buttons & k.bit) ? 1 : 0;
    return count;
}

// Where the message and the button row go (96-DPI pixels).
struct Geometry {
    SIZE text{};
    int row = 0, width = 0, buttonsTop = 0, height = 0;
};

Geometry Arrange(SIZE text, int buttons) {
    int count = ButtonCount(buttons);
    Geometry g{.text = text, .row = count * kButtonW + std::max(0, count - 1) * kGap};
    g.width = std::max(kMargin + kIcon + kMargin + static_cast<int>(text.cx) + kMargin,
                       g.row + 2 * kMargin);
    g.buttonsTop = kMargin + std::max(kIcon, static_cast<int>(text.cy)) + 16;
    g.height = g.buttonsTop + kButtonH + kMargin;
    return g;
}

// The message beside the icon, then the buttons centred in a row.
std::vector<ControlDesc> DialogLayout(const std::wstring& message, const Geometry& g, int buttons) {
    const int textW = static_cast<int>(g.text.cx), textH = static_cast<int>(g.text.cy);
    std::vector<ControlDesc> layout;
    layout.push_back({.name = L"Message",
                      .kind = Kind::Label,
                      .left = 2 * kMargin + kIcon,
                      .top = kMargin + std::max(0, (kIcon - textH) / 2),
                      .width = textW,
                      .height = textH,
                      .caption = message.c_str()});
    int x = (g.width - g.row) / 2, tab = 0;
    for (const auto& k : kButtonKinds) {
        if (!(buttons & k.bit)) continue;
        layout.push_back({.name = k.name,
                          .kind = Kind::Button,
                          .left = x,
                          .top = g.buttonsTop,
                          .width = kButtonW,
                          .height = kButtonH,
                          .caption = k.caption,
                          .tabOrder = tab++});
        x += kButtonW + kGap;
    }
    return layout;
}

}  // namespace

MessageDialog::MessageDialog(const std::wstring& message, int type, int buttons)
    : Form(DialogDesc(type), GetActiveWindow()), message_(message), type_(type) {
    Geometry g = Arrange(MeasureText(message_), buttons);
    Build(*this, DialogLayout(message_, g, buttons), kMessageFont);
    SetUpButtons(buttons);
    FitClient(g.width, g.height);
}

void MessageDialog::SetUpButtons(int buttons) {
    for (const auto& k : kButtonKinds) {
        if (!(buttons & k.bit)) continue;
        auto& b = Get<Button>(k.name);
        b.SetModalResult(k.result);
        buttons_.push_back(&b);
    }
    Button* preferred = (buttons & kOK)    ? &Get<Button>(L"OK")
                        : (buttons & kYes) ? &Get<Button>(L"Yes")
                                           : nullptr;
    if (preferred) {
        preferred->SetDefault(true);
        SetActiveControl(preferred);
    }
    const wchar_t* escape = (buttons & kCancelButton) ? L"Cancel"
                            : (buttons & kNo)         ? L"No"
                            : (buttons & kOK)         ? L"OK"
                                                      : nullptr;
    if (escape) Get<Button>(escape).SetCancel(true);
}

void MessageDialog::FitClient(int width, int height) {
    Application& app = App();
    RECT r{0, 0, app.Scale(width), app.Scale(height)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int MessageDialog::EscapeResult() const {
    for (Button* b : buttons_)
        if (b->IsCancel()) return b->ModalResult();
    return kResultCancel;
}

int MessageDialog::Execute() {
    if (onShown_) Post(onShown_);
    return ShowModal();
}

bool MessageDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_PAINT) {
        PaintScope paint(hwnd_);
        int at = App().Scale(kMargin);
        DrawIconEx(paint.get(), at, at, LoadIconW(nullptr, IconFor(type_)), App().Scale(kIcon),
                   App().Scale(kIcon), 0, nullptr, DI_NORMAL);
        result = 0;
        return true;
    }
    return Form::HandleMessage(msg, wp, lp, result);
}

}  // namespace toolkit
