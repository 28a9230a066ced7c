#include "wizard/SetupLog.h"

#include <windows.h>

#include "platform/Paths.h"

namespace wizard {

bool SetupLog::Open(const std::wstring& path) {
    HANDLE h;
    if (platform::FileExists(path)) {
        h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) SetFilePointer(h, 0, nullptr, FILE_END);
    } else {
        h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    file_.reset(h);
    return IsOpen();
}

bool SetupLog::Write(const std::wstring& entry) const {
    if (!IsOpen()) return false;
    DWORD bytes = static_cast<DWORD>(entry.size() * sizeof(wchar_t)), written = 0;
    return WriteFile(file_.get(), entry.data(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace wizard
