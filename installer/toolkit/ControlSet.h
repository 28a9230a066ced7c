// Building a form's or frame's controls from its layout rows.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Control.h"

namespace toolkit {

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

}  // namespace toolkit
