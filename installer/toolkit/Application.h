// The application object: common controls and COM set up, the message loop,
// the main form, DPI scaling, fonts, and the standard error box for
// exceptions that escape an event handler.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "platform/UniqueHandle.h"
#include "toolkit/Controls.h"

namespace toolkit {

class Form;

class Application {
public:
    // One per process (tests make one per test); the latest one is current.
    // It lays out at the screen's DPI, or at `dpi` when one is given (tests
    // of other scales).
    explicit Application(int dpi = 0);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    static Application& Current();

    // Title of the standard error box: the program file's name without
    // its extension.
    const std::wstring& Title() const { return title_; }

    void SetMainForm(Form* form) { mainForm_ = form; }
    Form* MainForm() const { return mainForm_; }

    // Shows the main form and runs the message loop until Terminate. A
    // start-up that already asked to end does not show the window.
    void Run();
    // Asks the loop to end after the current message.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles the messages waiting now (used by long steps on the UI thread).
    void ProcessMessages();
    // One message: waits for it, translates keys, dispatches. False on WM_QUIT.
    bool HandleMessage();
    // Ends the process at once: no window is closed, nothing cleans up.
    [[noreturn]] static void Halt(UINT exitCode = 0);

    // Runs a handler; an exception that escapes it is shown in the standard
    // error box and the program goes on where it was.
    template <typename F>
    void Invoke(F&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            ShowException();
        }
    }
    // The standard error box for the exception being handled; its text goes
    // to the error sink instead while one is set.
    void ShowException() noexcept;
    // Where error texts go while nobody could see the box (nullptr: the box).
    void SetErrorSink(std::function<void(const std::wstring&)> sink) {
        errorSink_ = std::move(sink);
    }
    // What that box says about the exception being handled.
    static std::wstring ExceptionText() noexcept;

    // 96-DPI pixels to screen pixels.
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    int Dpi() const { return dpi_; }
    HFONT FontFor(const Font& font);

private:
    bool Dispatch(MSG& msg);

    Application* previous_;
    std::wstring title_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    bool comInitialised_ = false;
    int dpi_ = 96;
    std::map<std::tuple<std::wstring, int, bool, bool>, platform::UniqueFont> fonts_;
    std::function<void(const std::wstring&)> errorSink_;
};

inline Application& App() { return Application::Current(); }

}  // namespace toolkit
