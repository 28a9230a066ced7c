#include "wizard/SetupLog.h"

#include <windows.h>

#include "environment/SharedFolder.h"

namespace wizard {

bool SetupLog::Open(const std::wstring& path) {
    path_ = path;
    // Append access alone: every write lands at the end as one piece, also
    // while another run's handle writes to the same file. Its folder is
    // written by every user of the application: the log never goes through
    // a link (environment::OpenSharedFile).
    file_ = environment::OpenSharedFile(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        OPEN_ALWAYS);
    return IsOpen();
}

bool SetupLog::Write(const std::wstring& entry) const {
    if (!IsOpen()) return false;
    DWORD bytes = static_cast<DWORD>(entry.size() * sizeof(wchar_t)), written = 0;
    return WriteFile(file_.get(), entry.data(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace wizard
