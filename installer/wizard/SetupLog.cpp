#include "wizard/SetupLog.h"

#include <windows.h>

namespace wizard {

bool SetupLog::Open(const std::wstring& path) {
    // Append access alone: every write lands at the end as one piece, also
    // while another run's handle writes to the same file.
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}

bool SetupLog::Write(const std::wstring& entry) const {
    if (!IsOpen()) return false;
    DWORD bytes = static_cast<DWORD>(entry.size() * sizeof(wchar_t)), written = 0;
    return WriteFile(file_.get(), entry.data(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace wizard
