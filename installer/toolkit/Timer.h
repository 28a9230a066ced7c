// Timers on the UI thread.
#pragma once

#include <windows.h>

#include "toolkit/Control.h"

namespace toolkit {

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
