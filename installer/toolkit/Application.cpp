#include "toolkit/Application.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <stdexcept>

#include "platform/Errors.h"
#include "platform/Text.h"
#include "toolkit/Form.h"
#include "toolkit/Gdi.h"
#include "toolkit/MessageDialog.h"
#include "toolkit/Seam.h"

namespace toolkit {

namespace {

Application* g_current = nullptr;

std::wstring FromUtf8(const char* text) {
    return platform::FromCodePage(CP_UTF8, text);
}

std::wstring ProgramTitle() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

}  // namespace

Application::Application(int dpi) : previous_(g_current), title_(ProgramTitle()) {
    g_current = this;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                             ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    dpi_ = dpi > 0 ? dpi : GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY);
    if (dpi_ <= 0) dpi_ = 96;
}

Application::~Application() {
    // A quit request left in the queue would end the next loop at once.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (comInitialised_) CoUninitialize();
    g_current = previous_;
}

Application& Application::Current() {
    if (!g_current) throw std::logic_error("no application object");
    return *g_current;
}

void Application::Run() {
    if (mainForm_ && !terminated_) mainForm_->Show();
    while (!terminated_ && HandleMessage()) {
    }
}

void Application::Terminate() {
    if (!terminated_) PostQuitMessage(0);
    terminated_ = true;
}

bool Application::HandleMessage() {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        terminated_ = true;
        return false;
    }
    Dispatch(msg);
    return true;
}

void Application::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        Dispatch(msg);
    }
}

bool Application::Dispatch(MSG& msg) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (auto* form = dynamic_cast<Form*>(Window::From(root))) {
            if (msg.message == WM_KEYDOWN && form->PreviewKey(static_cast<WORD>(msg.wParam)))
                return true;
            if (IsWindow(root) && IsDialogMessageW(root, &msg)) return true;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void Application::Halt(UINT exitCode) {
    ExitProcess(exitCode);
}

std::wstring Application::ExceptionText() noexcept {
    try {
        throw;
    } catch (const platform::Error& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return FromUtf8(e.what());
    } catch (...) {
        return L"Neznáma chyba";
    }
}

void Application::ShowException() noexcept {
    const std::wstring text = ExceptionText();
    try {
        if (errorSink_) {
            errorSink_(text);
            return;
        }
        MessageDialog box(text, kError, kOK);
        box.SetText(title_);
        Ui().RunMessage(box);
    } catch (...) {
        // Nothing sensible is left to report to.
    }
}

HFONT Application::FontFor(const Font& font) {
    auto key = std::make_tuple(std::wstring(font.face), font.height, font.bold, font.underline);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second.get();
    HFONT h =
        CreateFontW(-Scale(font.height), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                    font.underline, FALSE, EASTEUROPE_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.face);
    fonts_.emplace(key, platform::UniqueFont(h));
    return h;
}

}  // namespace toolkit
