// Acting from inside a modal loop: a step that runs later from the message
// loop, and the blocked dialog that such a step finds and presses.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "wizard/BlockedForm.h"
#include "toolkit/Controls.h"

// Runs `step` once, `afterMs` from now, from the message loop (also inside a
// modal dialog's loop).
class Later {
public:
    Later(UINT afterMs, std::function<void()> step)
        : timer_(afterMs, [this, step = std::move(step)] {
              timer_.SetEnabled(false);
              step();
          }) {}

private:
    toolkit::Timer timer_;
};

// The blocked dialog this process shows now, or nullptr (suites beside
// this one may show theirs).
inline wizard::TBlockedForm* OpenBlockedForm() {
    const auto ours = [](HWND hwnd) {
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        return process == GetCurrentProcessId() && IsWindowVisible(hwnd);
    };
    HWND hwnd = FindWindowW(nullptr, L"Upozornenie");
    while (hwnd && !ours(hwnd)) hwnd = FindWindowExW(nullptr, hwnd, nullptr, L"Upozornenie");
    return hwnd ? dynamic_cast<wizard::TBlockedForm*>(toolkit::Window::From(hwnd)) : nullptr;
}
