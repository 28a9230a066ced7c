// Controls made from layout rows, and the handlers they bind to by name.
#include "toolkit/ControlSet.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Text.h"
#include "toolkit/Controls.h"  // the factory makes every kind

namespace toolkit {

namespace {

std::string Narrow(std::wstring_view s) {
    return platform::ToCodePage(CP_UTF8, s);
}

}  // namespace

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

}  // namespace toolkit
