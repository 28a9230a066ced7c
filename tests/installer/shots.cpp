// Takes the README's screenshots under Xvfb (scripts/screenshot).
//   shots window TITLE OUT.png   waits for a visible window whose title begins
//                                with TITLE, saves it
//   shots press TITLE CAPTION    presses the button CAPTION of that window
//   shots close TITLE            closes that window as its close icon does
// (Titles are matched by their beginning, so the script can pass plain ASCII.)
//   shots pages OUTDIR           the progress page, the end page and a question,
//                                shown by the wizard in this process
// Pictures are read back from the screen, so they show what Wine drew.
#include <wincodec.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "toolkit/MessageDialog.h"
#include "toolkit/Seam.h"
#include "wizard/Dialogs.h"
#include "wizard/NewFrame.h"
#include "wizard/Wizard.h"

namespace {

struct Search {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK MatchVisible(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t text[512] = L"";
    GetWindowTextW(h, text, 512);
    if (IsWindowVisible(h) && std::wstring(text).starts_with(s->text)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND WaitWindow(const std::wstring& title, DWORD timeoutMs = 30000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        Search s{title};
        EnumWindows(MatchVisible, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(100);
    }
    return nullptr;
}

HWND ChildByText(HWND parent, const std::wstring& text) {
    Search s{text};
    EnumChildWindows(parent, MatchVisible, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool SavePng(HBITMAP bitmap, int w, int h, const std::wstring& path) {
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IWICBitmap* source = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
              SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &source)) &&
              SUCCEEDED(factory->CreateStream(&stream)) &&
              SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
              SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
              SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h)));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    ok = ok && SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(source, nullptr)) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* p : {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(encoder),
                        static_cast<IUnknown*>(stream), static_cast<IUnknown*>(source),
                        static_cast<IUnknown*>(factory)})
        if (p) p->Release();
    return ok;
}

// The window's rectangle as it is on the screen now.
bool Capture(HWND hwnd, const std::wstring& path) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(700);
    RECT r;
    GetWindowRect(hwnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    bool ok = SavePng(bitmap, w, h, path);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    std::fwprintf(stderr, L"%ls %ls (%dx%d)\n", ok ? L"saved" : L"FAILED", path.c_str(), w, h);
    return ok;
}

// Lets the page paint before it is captured.
void Settle() {
    for (int i = 0; i < 10; ++i) {
        toolkit::App().ProcessMessages();
        Sleep(50);
    }
}

// Captures each message dialog once it is up, then answers it with Escape.
class CapturingUi : public toolkit::UiSeam {
public:
    std::wstring path;
    int RunMessage(toolkit::MessageDialog& dialog) override {
        dialog.SetOnShown([this, &dialog] {
            Settle();
            Capture(dialog.Handle(), path);
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
        return dialog.Execute();
    }
};

int Pages(const std::wstring& dir) {
    toolkit::Application app;
    // No arguments: the driver's own ("pages") would be an unknown option.
    wizard::TWizard wizard(engine::Places::OfThisPc(platform::CurrentDir()),
                           std::vector<std::wstring>{});
    wizard.Show();
    Settle();

    wizard.NewFrame->SetVisible(false);
    wizard.m_ActiveFrame = wizard.ProgressFrame.get();
    wizard.ProgressFrame->SetVisible(true);
    wizard.EnableButtons();
    wizard.OK->SetEnabled(false);
    wizard.ProgressFrame->lStatus->SetCaption(L"Inštalácia SQL servera");
    wizard.ProgressFrame->pbSetup->SetMax(100);
    wizard.ProgressFrame->pbSetup->SetPosition(42);
    Settle();
    Capture(wizard.Handle(), dir + L"progress-page.png");

    CapturingUi ui;
    toolkit::UiSeam* previous = toolkit::SetUiSeam(&ui);
    ui.path = dir + L"question.png";
    wizard::AskQuestion(L"Ukončiť?");
    toolkit::SetUiSeam(previous);

    wizard.ProgressFrame->SetVisible(false);
    wizard.m_ActiveFrame = wizard.EndFrame.get();
    wizard.EndFrame->SetInfo();
    wizard.EndFrame->SetVisible(true);
    wizard.EnableButtons();
    wizard.OK->SetCaption(L"Koniec");
    wizard.Back->SetVisible(false);
    wizard.Next->SetVisible(false);
    wizard.Cancel->SetVisible(false);
    Settle();
    Capture(wizard.Handle(), dir + L"end-page.png");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"list") {
        EnumWindows(
            [](HWND h, LPARAM) -> BOOL {
                wchar_t text[512] = L"";
                GetWindowTextW(h, text, 512);
                std::fwprintf(stderr, L"%p visible=%d \"%ls\"\n", static_cast<void*>(h),
                              IsWindowVisible(h), text);
                return TRUE;
            },
            0);
        return 0;
    }
    if (command == L"pages" && argc == 3) return Pages(argv[2]);
    if (argc >= 3) {
        HWND hwnd = WaitWindow(argv[2]);
        if (!hwnd) {
            std::fwprintf(stderr, L"no window \"%ls\"\n", argv[2]);
            return 1;
        }
        if (command == L"window" && argc == 4) return Capture(hwnd, argv[3]) ? 0 : 1;
        if (command == L"close") return PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
        if (command == L"press" && argc == 4) {
            HWND button = ChildByText(hwnd, argv[3]);
            return button && PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
        }
    }
    std::fwprintf(stderr, L"usage: shots window TITLE OUT.png | press TITLE CAPTION | close TITLE | pages OUTDIR\n");
    return 2;
}
