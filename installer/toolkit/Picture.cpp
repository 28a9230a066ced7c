// A picture control: a PNG resource decoded through WIC.
#include "toolkit/Picture.h"

#include <wincodec.h>

#include <span>
#include <string>
#include <utility>

#include "toolkit/Application.h"
#include "toolkit/Containers.h"
#include "toolkit/Gdi.h"

namespace toolkit {

namespace {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** operator&() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

using Bytes = std::span<const BYTE>;

// The bytes of an RCDATA resource of the running program; empty when missing.
Bytes RcData(const std::wstring& name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) return {};
    return {static_cast<const BYTE*>(bytes), SizeofResource(module, res)};
}

// The resource drawn for the scale of `dpi`, or the next smaller one there is.
Bytes ScaledPng(const wchar_t* name, int dpi) {
    const int percent = MulDiv(dpi, 100, 96);
    for (int scale : {200, 150}) {
        if (percent <= scale - 50) continue;
        Bytes png = RcData(std::wstring(name) + L"_" + std::to_wstring(scale));
        if (!png.empty()) return png;
    }
    return RcData(name);
}

// The first frame of a PNG as 32-bit BGR pixels; empty when it cannot be
// decoded.
ComPtr<IWICFormatConverter> DecodePng(Bytes png) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    auto* bytes = const_cast<BYTE*>(png.data());
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(bytes, static_cast<DWORD>(png.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return {};
    return converter;
}

// The pixels in a top-down DIB section; empty (and `size` untouched) when
// it cannot be made.
platform::UniqueBitmap ToBitmap(IWICBitmapSource& pixels, SIZE& size) {
    UINT w = 0, h = 0;
    pixels.GetSize(&w, &h);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = static_cast<LONG>(w);
    bi.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    platform::UniqueBitmap bitmap(
        CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || FAILED(pixels.CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits))))
        return {};
    size = {static_cast<LONG>(w), static_cast<LONG>(h)};
    return bitmap;
}

}  // namespace

Picture::Picture(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(RegisterClassOnce(L"IstrelPicture"), 0, 0, L"");
}

bool Picture::LoadPngResource(const wchar_t* resourceName) {
    Bytes png = ScaledPng(resourceName, App().Dpi());
    if (png.empty()) return false;
    ComPtr<IWICFormatConverter> pixels = DecodePng(png);
    if (!pixels) return false;
    SIZE size{};
    platform::UniqueBitmap bitmap = ToBitmap(*pixels.get(), size);
    if (!bitmap) return false;
    bitmap_ = std::move(bitmap);
    size_ = size;
    InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

bool Picture::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != WM_PAINT) return false;
    PaintScope paint(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH bg = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (auto* panel = dynamic_cast<Panel*>(&parent_)) bg = panel->Background();
    FillRect(paint.get(), &client, bg);
    if (bitmap_) Draw(paint.get(), client);
    result = 0;
    return true;
}

// Stretched over the whole rectangle: the picture for the scale is at most
// a pixel off the layout's rounding, and a picture for another scale is
// smoothed rather than left short of its panel.
void Picture::Draw(HDC dc, const RECT& client) const {
    platform::UniqueMemoryDc memory(CreateCompatibleDC(dc));
    Selection picture(memory.get(), bitmap_.get());
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, size_.cx, size_.cy,
               SRCCOPY);
}

}  // namespace toolkit
