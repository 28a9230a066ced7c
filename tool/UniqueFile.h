// The owner of an open file, a handle on Windows and a descriptor on Linux:
// closed exactly once, by Close(), which tells whether that worked, or
// quietly when the owner goes. One template, a traits type per system
// saying what an invalid file is and how one is closed.
#pragma once

#include <utility>

namespace quenlet::platform {

template <typename Traits>
class UniqueFile {
public:
    using Handle = typename Traits::Handle;

    explicit UniqueFile(Handle handle) : handle_(handle) {}
    ~UniqueFile() {
        if (Valid()) Traits::Close(handle_);
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;

    bool Valid() const { return handle_ != Traits::Invalid(); }
    Handle Get() const { return handle_; }
    // False when closing failed; the system's last error tells why.
    bool Close() { return Traits::Close(std::exchange(handle_, Traits::Invalid())); }

private:
    Handle handle_;
};

}  // namespace quenlet::platform
