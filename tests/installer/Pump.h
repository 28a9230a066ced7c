// Driving real windows from a test: the messages that wait are handled, and
// a button is clicked as the user clicks it.
#pragma once

#include <windows.h>

#include "toolkit/Application.h"
#include "toolkit/Control.h"

// Handles every message now waiting for the test's thread.
inline void Pump() { toolkit::App().ProcessMessages(); }

// As the user clicks it: the control notifies its parent, which acts at once.
inline void Click(toolkit::Control& control) {
    SendMessageW(control.Handle(), BM_CLICK, 0, 0);
    Pump();
}
