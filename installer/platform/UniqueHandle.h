// Move-only owners for Windows handles. One traits type per handle kind says
// which values are invalid and how the handle is closed.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return valid(); }

    // Gives up ownership; the caller closes the handle.
    [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = h;
    }
    // For APIs that return a handle through an out-parameter.
    Handle* receive() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Invalid();
};

// Files, processes, threads, tokens: both null and INVALID_HANDLE_VALUE are
// invalid, since different APIs return different ones on failure.
struct KernelTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

struct ServiceTraits {
    using Handle = SC_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseServiceHandle(h); }
};

struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct SidTraits {
    using Handle = PSID;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeSid(h); }
};

// An event log's source (RegisterEventSourceW), given back with
// DeregisterEventSource.
struct EventSourceTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeregisterEventSource(h); }
};

// Memory a system call allocated for the caller (FormatMessageW's buffer,
// CommandLineToArgvW's array).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};

// GDI objects the program creates (bitmaps, fonts: DeleteObject) and memory
// device contexts (DeleteDC), typed so a bitmap owner cannot take a font. A
// window's own DC (GetDC, BeginPaint) is given back to its window instead.
template <typename H, auto Delete>
struct GdiTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { Delete(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelTraits>;  // file, process, thread, token
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceTraits>;
using UniqueFindHandle = UniqueHandle<FindTraits>;
using UniqueSid = UniqueHandle<SidTraits>;
using UniqueEventSource = UniqueHandle<EventSourceTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
using UniqueBitmap = UniqueHandle<GdiTraits<HBITMAP, &DeleteObject>>;
using UniqueFont = UniqueHandle<GdiTraits<HFONT, &DeleteObject>>;
using UniqueMemoryDc = UniqueHandle<GdiTraits<HDC, &DeleteDC>>;

}  // namespace platform
