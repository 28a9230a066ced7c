// The base of the installer's thin Win32 UI layer: windows owned by
// objects, and the layout rows that controls are made from.
//
// Every window keeps a pointer to its object in GWLP_USERDATA, so a message
// finds its object without globals. Handlers run through
// Application::Invoke, which shows an escaped exception in the standard
// error box; no exception crosses a window procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <string>

namespace toolkit {

using Handler = std::function<void()>;

// A font as the layouts give it: face and character height in pixels at
// 96 DPI; always the Central European character set.
struct Font {
    const wchar_t* face;
    int height;
    bool bold = false;
    bool underline = false;
};
inline constexpr Font kSansSerif8{L"MS Sans Serif", 11};

enum class Kind {
    Label,
    Button,
    Edit,
    Memo,  // borderless read-only multi-line text
    CheckBox,
    RadioButton,
    GroupBox,
    Panel,
    ProgressBar,
    ListView,
    Picture,
    RichText,  // borderless read-only rich-text area
    Bevel,     // horizontal separator line
};

enum Flags : unsigned {
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kChecked = 1u << 2,
    kDefault = 1u << 3,  // button pressed by Enter
    kCancel = 1u << 4,   // button pressed by Escape
    kAnchorRight = 1u << 5,   // keeps its right margin when the parent resizes
    kAnchorBottom = 1u << 6,  // keeps its bottom margin
    kLink = 1u << 7,          // blue text, hand cursor
    kWhite = 1u << 8,         // panel with a white background
};

// One row of a layout table. Positions and sizes are pixels at 96 DPI,
// relative to the parent's client area; a label of width 0 is sized to its
// text. `parent` names a panel or group box built earlier in the same table
// (nullptr: the form or frame itself). Handlers are named and bound to the
// owner's methods by Bind.
struct ControlDesc {
    const wchar_t* name;
    Kind kind;
    const wchar_t* parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
    const wchar_t* caption = L"";
    unsigned flags = 0;
    int tabOrder = -1;  // -1: not reached by Tab
    const Font* font = nullptr;  // nullptr: the owner's font
    const wchar_t* onClick = nullptr;
    const wchar_t* onChange = nullptr;
};
using Layout = std::span<const ControlDesc>;

// An HWND owned by an object; destroyed with it.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }
    static Window* From(HWND hwnd);

    // The window's own WS_VISIBLE / enabled state, whatever its parent's.
    bool Visible() const;
    virtual void SetVisible(bool visible);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    std::wstring Text() const;
    void SetText(const std::wstring& text);

    // Message handling of windows of our own classes; false: default.
    virtual bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

protected:
    void Attach(HWND hwnd);
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static const wchar_t* RegisterClassOnce(const wchar_t* name, UINT style = 0);

    HWND hwnd_ = nullptr;
    friend class Application;
};

class Control : public Window {
public:
    Control(Window& parent, const ControlDesc& desc, const Font& font);

    const std::wstring& Name() const { return name_; }
    int TabOrder() const { return tabOrder_; }
    virtual std::wstring Caption() const { return Text(); }
    virtual void SetCaption(const std::wstring& caption) { SetText(caption); }
    RECT Bounds() const;  // in the parent's client coordinates
    HFONT FontHandle() const { return font_; }
    bool IsLink() const { return (flags_ & kLink) != 0; }
    unsigned Flags() const { return flags_; }
    // Distances to the parent's right and bottom edges kept by anchors.
    RECT Margins() const { return margins_; }
    void SetMargins(RECT margins) { margins_ = margins; }

    // Notification from the parent's WM_COMMAND.
    virtual void OnCommand(WORD code) { (void)code; }
    void SetOnClick(Handler h) { onClick_ = std::move(h); }
    void SetOnChange(Handler h) { onChange_ = std::move(h); }

protected:
    void Create(const wchar_t* cls, DWORD style, DWORD exStyle, const std::wstring& text);
    void Fire(const Handler& h);

    Window& parent_;
    std::wstring name_;
    int tabOrder_;
    unsigned flags_;
    RECT bounds_;  // scaled left, top, width, height
    RECT margins_{};
    HFONT font_;
    Handler onClick_, onChange_;
};

}  // namespace toolkit
