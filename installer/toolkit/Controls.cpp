#include "toolkit/Controls.h"

#include <commctrl.h>
#include <richedit.h>
#include <wincodec.h>

#include <algorithm>
#include <stdexcept>

#include "platform/Text.h"
#include "toolkit/Application.h"
#include "toolkit/Form.h"

namespace toolkit {

namespace {

int g_nextId = 1000;  // control ids; low ids stay free for IDOK/IDCANCEL

std::string Narrow(std::wstring_view s) {
    return platform::ToCodePage(CP_UTF8, s);
}

COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH lb{};
    GetObjectW(brush, sizeof lb, &lb);
    return lb.lbColor;
}

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

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

// ---- Label --------------------------------------------------------------

Label::Label(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font), autoSize_(desc.width == 0) {
    Create(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, desc.caption);
    if (autoSize_) FitText();
}

void Label::SetCaption(const std::wstring& caption) {
    SetText(caption);
    if (autoSize_) FitText();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::FitText() {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    std::wstring text = Text();
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    SetWindowPos(hwnd_, nullptr, 0, 0, text.empty() ? 0 : r.right,
                 bounds_.bottom ? bounds_.bottom : r.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::OnCommand(WORD code) {
    if (code == STN_CLICKED) Fire(onClick_);
}

// ---- Button -------------------------------------------------------------

Button::Button(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_PUSHBUTTON, 0, desc.caption);
    if (desc.flags & kDefault) SetDefault(true);
    cancel_ = (desc.flags & kCancel) != 0;
}

void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED) Click();
}

void Button::Click() {
    if (modalResult_ != 0) {
        if (auto* form = dynamic_cast<Form*>(Window::From(GetAncestor(hwnd_, GA_ROOT))))
            form->SetModalResult(modalResult_);
    }
    Fire(onClick_);
}

void Button::SetDefault(bool isDefault) {
    default_ = isDefault;
    SendMessageW(hwnd_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

// ---- Edit ---------------------------------------------------------------

Edit::Edit(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"EDIT", ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, desc.caption);
}

void Edit::OnCommand(WORD code) {
    if (code == EN_CHANGE) Fire(onChange_);
}

// ---- CheckBox, RadioButton ------------------------------------------------

CheckBox::CheckBox(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_CHECKBOX, 0, desc.caption);
    if (desc.flags & kChecked) SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

bool CheckBox::Checked() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (checked == Checked()) return;
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Fire(onClick_);
}

void CheckBox::OnCommand(WORD code) {
    if (code == BN_CLICKED) SetChecked(!Checked());
}

RadioButton::RadioButton(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"BUTTON", BS_RADIOBUTTON, 0, desc.caption);
    if (desc.flags & kChecked) SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

bool RadioButton::Checked() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RadioButton::SetChecked(bool checked) {
    if (checked == Checked()) return;
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked) return;
    for (HWND h = GetWindow(parent_.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h == hwnd_) continue;
        if (auto* other = dynamic_cast<RadioButton*>(Window::From(h)))
            SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    Fire(onClick_);
}

void RadioButton::OnCommand(WORD code) {
    if (code == BN_CLICKED) SetChecked(true);
}

// ---- ProgressBar, ListView ----------------------------------------------------

ProgressBar::ProgressBar(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(PROGRESS_CLASSW, 0, 0, L"");
    SetMax(max_);
}

void ProgressBar::SetMax(int max) {
    max_ = max;
    SendMessageW(hwnd_, PBM_SETRANGE32, 0, max);
    SetPosition(std::min(position_, max));
}

void ProgressBar::SetPosition(int position) {
    position_ = std::clamp(position, 0, std::max(max_, 0));
    SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

ListView::ListView(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, L"");
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void ListView::AddColumn(const std::wstring& caption, int width) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    int index = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = App().Scale(width);
    col.pszText = const_cast<wchar_t*>(caption.c_str());
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&col));
}

void ListView::AddRow(const std::vector<std::wstring>& cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    for (size_t i = 0; i < cells.size(); ++i) {
        item.iSubItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(cells[i].c_str());
        if (i == 0)
            item.iItem = static_cast<int>(
                SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        else
            SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(item.iItem),
                         reinterpret_cast<LPARAM>(&item));
    }
}

void ListView::Clear() {
    SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
}

int ListView::RowCount() const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring ListView::Cell(int row, int column) const {
    wchar_t buf[512] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 512;
    SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return buf;
}

// ---- Picture --------------------------------------------------------------

Picture::Picture(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(RegisterClassOnce(L"IstrelPicture"), 0, 0, L"");
}

Picture::~Picture() {
    if (bitmap_) DeleteObject(bitmap_);
}

bool Picture::LoadPngResource(const wchar_t* resourceName) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, resourceName, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) return false;
    DWORD length = SizeofResource(module, res);

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(
            stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), length)) ||
        FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnLoad,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return false;
    UINT w = 0, h = 0;
    converter->GetSize(&w, &h);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = static_cast<LONG>(w);
    bi.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) return false;
    if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) {
        DeleteObject(bmp);
        return false;
    }
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = bmp;
    size_ = {static_cast<LONG>(w), static_cast<LONG>(h)};
    InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

bool Picture::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH bg = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (auto* panel = dynamic_cast<Panel*>(&parent_)) bg = panel->Background();
    FillRect(dc, &client, bg);
    if (bitmap_) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, bitmap_);
        int x = (client.right - size_.cx) / 2, y = (client.bottom - size_.cy) / 2;
        BitBlt(dc, x, y, size_.cx, size_.cy, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    EndPaint(hwnd_, &ps);
    result = 0;
    return true;
}

// ---- RichText, Bevel --------------------------------------------------------

RichText::RichText(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    // The rich-edit classes live in DLLs that register them when loaded.
    static const wchar_t* cls = [] {
        if (LoadLibraryW(L"msftedit.dll")) return MSFTEDIT_CLASS;
        LoadLibraryW(L"riched20.dll");
        return RICHEDIT_CLASSW;
    }();
    Create(cls, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, desc.caption);
}

Bevel::Bevel(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(L"STATIC", SS_ETCHEDHORZ, 0, L"");
}

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
            auto* control = dynamic_cast<Control*>(Window::From(reinterpret_cast<HWND>(lp)));
            if (!control || control->Handle() == nullptr) return false;
            App().Invoke([&] { control->OnCommand(HIWORD(wp)); });
            result = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, BrushColor(background));
            auto* control = dynamic_cast<Control*>(Window::From(reinterpret_cast<HWND>(lp)));
            if (control && control->IsLink()) SetTextColor(dc, RGB(0, 0, 255));
            result = reinterpret_cast<LRESULT>(background);
            return true;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(self.Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, background);
            result = 1;
            return true;
        }
        case WM_SETCURSOR: {
            auto* control = dynamic_cast<Control*>(Window::From(reinterpret_cast<HWND>(wp)));
            if (!control || !control->IsLink()) return false;
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        case WM_SIZE: {
            // Anchored children keep their right or bottom margin.
            int width = LOWORD(lp), height = HIWORD(lp);
            for (HWND h = GetWindow(self.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
                auto* c = dynamic_cast<Control*>(Window::From(h));
                if (!c || !(c->Flags() & (kAnchorRight | kAnchorBottom))) continue;
                RECT b = c->Bounds(), margins = c->Margins();
                int w = b.right - b.left, hgt = b.bottom - b.top;
                if (c->Flags() & kAnchorRight) w = width - b.left - margins.right;
                if (c->Flags() & kAnchorBottom) hgt = height - b.top - margins.bottom;
                SetWindowPos(h, nullptr, 0, 0, w, hgt, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            return false;
        }
        default:
            return false;
    }
}

// ---- ControlSet ---------------------------------------------------------------

std::unique_ptr<Control> MakeControl(Window& parent, const ControlDesc& desc, const Font& font) {
    switch (desc.kind) {
        case Kind::Label:
            return std::make_unique<Label>(parent, desc, font);
        case Kind::Button:
            return std::make_unique<Button>(parent, desc, font);
        case Kind::Edit:
            return std::make_unique<Edit>(parent, desc, font);
        case Kind::Memo: {
            struct Memo : Control {
                Memo(Window& p, const ControlDesc& s, const Font& f) : Control(p, s, f) {
                    Create(L"EDIT", ES_MULTILINE | ES_READONLY, 0, s.caption);
                }
            };
            return std::make_unique<Memo>(parent, desc, font);
        }
        case Kind::CheckBox:
            return std::make_unique<CheckBox>(parent, desc, font);
        case Kind::RadioButton:
            return std::make_unique<RadioButton>(parent, desc, font);
        case Kind::GroupBox:
            return std::make_unique<GroupBox>(parent, desc, font);
        case Kind::Panel:
            return std::make_unique<Panel>(parent, desc, font);
        case Kind::ProgressBar:
            return std::make_unique<ProgressBar>(parent, desc, font);
        case Kind::ListView:
            return std::make_unique<ListView>(parent, desc, font);
        case Kind::Picture:
            return std::make_unique<Picture>(parent, desc, font);
        case Kind::RichText:
            return std::make_unique<RichText>(parent, desc, font);
        case Kind::Bevel:
            return std::make_unique<Bevel>(parent, desc, font);
    }
    throw std::logic_error("unknown control kind");
}

void ControlSet::Bind(std::wstring name, Handler handler) {
    handlers_[std::move(name)] = std::move(handler);
}

const Handler* ControlSet::Lookup(const wchar_t* name, bool required) const {
    if (!name) return nullptr;
    auto it = handlers_.find(std::wstring_view(name));
    if (it == handlers_.end()) {
        if (!required) return nullptr;
        throw std::logic_error("handler not bound: " + Narrow(name));
    }
    return &it->second;
}

void ControlSet::Build(Window& root, Layout layout, const Font& font) {
    size_t first = controls_.size();
    for (const ControlDesc& desc : layout) {
        Window* parent = &root;
        if (desc.parent) {
            parent = dynamic_cast<Panel*>(Find(desc.parent));
            if (!parent) throw std::logic_error("no container " + Narrow(desc.parent));
        }
        auto control = MakeControl(*parent, desc, font);
        if (const Handler* h = Lookup(desc.onClick)) control->SetOnClick(*h);
        if (const Handler* h = Lookup(desc.onChange)) control->SetOnChange(*h);
        if (desc.flags & (kAnchorRight | kAnchorBottom)) {
            // Margins to the parent's right and bottom edges, kept on resize.
            RECT parentRect, b = control->Bounds();
            GetClientRect(parent->Handle(), &parentRect);
            control->SetMargins({0, 0, parentRect.right - b.right, parentRect.bottom - b.bottom});
        }
        controls_.push_back(std::move(control));
    }
    // Tab order is z-order: put the tab stops of each parent in their order
    // below the rest, then the group frames behind everything.
    std::vector<Control*> tabbed;
    for (size_t i = first; i < controls_.size(); ++i)
        if (controls_[i]->TabOrder() >= 0) tabbed.push_back(controls_[i].get());
    std::stable_sort(tabbed.begin(), tabbed.end(),
                     [](Control* a, Control* b) { return a->TabOrder() < b->TabOrder(); });
    for (Control* c : tabbed)
        SetWindowPos(c->Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (size_t i = first; i < controls_.size(); ++i)
        if (dynamic_cast<GroupBox*>(controls_[i].get()))
            if (HWND frame = FindWindowExW(controls_[i]->Handle(), nullptr, L"BUTTON", nullptr))
                SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ControlSet::DestroyControls() {
    while (!controls_.empty()) controls_.pop_back();
}

Control* ControlSet::Find(std::wstring_view name) const {
    for (const auto& c : controls_)
        if (c->Name() == name) return c.get();
    return nullptr;
}

void ControlSet::MissingControl(std::wstring_view name) {
    throw std::logic_error("no control " + Narrow(name));
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

// ---- Timer --------------------------------------------------------------------

namespace {
std::map<UINT_PTR, Timer*>& Timers() {
    static std::map<UINT_PTR, Timer*> timers;
    return timers;
}
}  // namespace

Timer::Timer(UINT intervalMs, Handler onTimer, bool enabled)
    : interval_(intervalMs), onTimer_(std::move(onTimer)) {
    SetEnabled(enabled);
}

Timer::~Timer() {
    SetEnabled(false);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == Enabled()) return;
    if (enabled) {
        id_ = SetTimer(nullptr, 0, interval_, Tick);
        if (id_) Timers()[id_] = this;
    } else {
        KillTimer(nullptr, id_);
        Timers().erase(id_);
        id_ = 0;
    }
}

void CALLBACK Timer::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Timers().find(id);
    if (it != Timers().end() && it->second->onTimer_) App().Invoke(it->second->onTimer_);
}

}  // namespace toolkit
