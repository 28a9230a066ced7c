// The installer's thin Win32 UI layer: windows owned by objects, controls
// made from layout tables, handlers bound by name.
//
// Every window keeps a pointer to its object in GWLP_USERDATA, so a message
// finds its object without globals. Handlers run through
// Application::Invoke, which shows an escaped exception in the standard
// error box; no exception crosses a window procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

class Label : public Control {
public:
    Label(Window& parent, const ControlDesc& desc, const Font& font);
    void SetCaption(const std::wstring& caption) override;
    void OnCommand(WORD code) override;

private:
    void FitText();
    bool autoSize_;
};

class Button : public Control {
public:
    Button(Window& parent, const ControlDesc& desc, const Font& font);
    void OnCommand(WORD code) override;
    void Click();  // as a press: runs the click handler

    bool IsDefault() const { return default_; }
    void SetDefault(bool isDefault);  // marks it (BS_DEFPUSHBUTTON) and lets Enter press it
    bool IsCancel() const { return cancel_; }
    void SetCancel(bool isCancel) { cancel_ = isCancel; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

private:
    bool default_ = false, cancel_ = false;
    int modalResult_ = 0;
};

class Edit : public Control {
public:
    Edit(Window& parent, const ControlDesc& desc, const Font& font);
    void OnCommand(WORD code) override;
};

// Check box whose click handler runs on every change of state, by the user or
// by code, and not when the state is set to what it already is.
class CheckBox : public Control {
public:
    CheckBox(Window& parent, const ControlDesc& desc, const Font& font);
    bool Checked() const;
    void SetChecked(bool checked);
    void OnCommand(WORD code) override;
};

// Radio button: checking one unchecks the radio buttons of the same parent.
class RadioButton : public Control {
public:
    RadioButton(Window& parent, const ControlDesc& desc, const Font& font);
    bool Checked() const;
    void SetChecked(bool checked);
    void OnCommand(WORD code) override;
};

class ProgressBar : public Control {
public:
    ProgressBar(Window& parent, const ControlDesc& desc, const Font& font);
    int Max() const { return max_; }
    void SetMax(int max);
    int Position() const { return position_; }
    void SetPosition(int position);

private:
    int max_ = 100, position_ = 0;
};

class ListView : public Control {
public:
    ListView(Window& parent, const ControlDesc& desc, const Font& font);
    void AddColumn(const std::wstring& caption, int width);
    void AddRow(const std::vector<std::wstring>& cells);
    void Clear();
    int RowCount() const;
    std::wstring Cell(int row, int column) const;
};

// A picture drawn centred in its rectangle (PNG decoded through WIC).
class Picture : public Control {
public:
    Picture(Window& parent, const ControlDesc& desc, const Font& font);
    ~Picture() override;
    // Loads an RCDATA PNG of the running program; false (and empty) when
    // the resource is missing or cannot be decoded.
    bool LoadPngResource(const wchar_t* resourceName);
    SIZE ImageSize() const { return size_; }
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    HBITMAP bitmap_ = nullptr;
    SIZE size_{0, 0};
};

class RichText : public Control {
public:
    RichText(Window& parent, const ControlDesc& desc, const Font& font);
};

class Bevel : public Control {
public:
    Bevel(Window& parent, const ControlDesc& desc, const Font& font);
};

// A child window that holds controls: panel, group box, frame. It passes its
// children's notifications to them and paints their background.
class Panel : public Control {
public:
    Panel(Window& parent, const ControlDesc& desc, const Font& font);
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    HBRUSH Background() const { return background_; }

protected:
    HBRUSH background_;
};

class GroupBox : public Panel {
public:
    GroupBox(Window& parent, const ControlDesc& desc, const Font& font);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;

private:
    HWND frame_ = nullptr;  // the BS_GROUPBOX button drawn behind the children
};

// Notifications, colours and cursors that every container handles the same
// way for its children.
bool ContainerMessage(Window& self, HBRUSH background, UINT msg, WPARAM wp, LPARAM lp,
                      LRESULT& result);

// The controls a form or frame makes from its layout, and the handlers they
// bind to by name.
class ControlSet {
public:
    // Registers a handler under the name that layouts use ("NextClick").
    void Bind(std::wstring name, Handler handler);
    // Creates the rows in order; raises std::logic_error for a handler name
    // that is not bound or a parent that is not an earlier container row.
    void Build(Window& root, Layout layout, const Font& font);

    Control* Find(std::wstring_view name) const;
    // The named control as T; std::logic_error when missing or of another kind.
    template <typename T>
    T& Get(std::wstring_view name) const {
        T* c = dynamic_cast<T*>(Find(name));
        if (!c) MissingControl(name);
        return *c;
    }
    const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

protected:
    // The handler bound to `name`; nullptr for no name. A name that is not
    // bound raises std::logic_error, or gives nullptr when not `required`.
    const Handler* Lookup(const wchar_t* name, bool required = true) const;
    // Destroys the controls, children before their containers; owners call
    // it before their own window goes.
    void DestroyControls();

private:
    [[noreturn]] static void MissingControl(std::wstring_view name);
    std::map<std::wstring, Handler, std::less<>> handlers_;
    std::vector<std::unique_ptr<Control>> controls_;
};

// Creates the control of a layout row under `parent`.
std::unique_ptr<Control> MakeControl(Window& parent, const ControlDesc& desc, const Font& font);

// A page: a child panel of a form with its own layout and handlers.
class Frame : public Panel, public ControlSet {
public:
    // A white child panel at the given place of the owner (96-DPI pixels).
    Frame(Window& owner, const wchar_t* name, int left, int top, int width, int height,
          const Font& font = kSansSerif8);
    ~Frame() override;
    const Font& OwnFont() const { return *ownFont_; }

private:
    const Font* ownFont_;
};

// Timer on the UI thread; its handler runs through Application::Invoke.
class Timer {
public:
    Timer(UINT intervalMs, Handler onTimer, bool enabled = true);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    void SetEnabled(bool enabled);
    bool Enabled() const { return id_ != 0; }
    UINT Interval() const { return interval_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    UINT interval_;
    Handler onTimer_;
    UINT_PTR id_ = 0;
};

}  // namespace toolkit
