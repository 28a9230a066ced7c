// A picture control: a PNG resource decoded through WIC.
#include "toolkit/Controls.h"

#include <wincodec.h>

namespace toolkit {

namespace {

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

}  // namespace toolkit
