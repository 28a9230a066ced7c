#include "wizard/SetupLog.h"

#include <windows.h>

#include "environment/SharedFolder.h"
#include "platform/Paths.h"

namespace wizard {

bool SetupLog::Open(const std::wstring& path) {
    // Its folder is written by every user of the application: the log
    // never goes through a link (environment::OpenSharedFile).
    HANDLE h;
    if (platform::FileExists(path)) {
        h = environment::OpenSharedFile(path, GENERIC_WRITE, 0, OPEN_EXISTING).release();
        if (h) SetFilePointer(h, 0, nullptr, FILE_END);
    } else {
        h = environment::OpenSharedFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS)
                .release();
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
