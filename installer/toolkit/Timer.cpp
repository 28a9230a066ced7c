// Timers on the UI thread.
#include "toolkit/Timer.h"

#include <map>

#include "toolkit/Application.h"

namespace toolkit {

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
