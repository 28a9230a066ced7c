// The setup log: the one file an administrator reads of an unattended run.
// Entries are UTF-16 without a byte order mark, appended to what earlier
// runs wrote. Two runs may have it open at once: each entry is written in
// one piece at the end, so entries never mix.
#pragma once

#include <string>

#include "platform/UniqueHandle.h"

namespace wizard {

class SetupLog {
public:
    // Opens `path` for appending, or creates it; false when it cannot
    // (GetLastError says why), and the log stays closed.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return file_.valid(); }
    // The file last opened, or tried; empty before.
    const std::wstring& Path() const { return path_; }
    // Appends `entry` as it is, whole, at the end of the file as it is now;
    // false when no file is open or the write fails.
    bool Write(const std::wstring& entry) const;
    void Close() { file_.reset(); }

private:
    platform::UniqueKernelHandle file_;
    std::wstring path_;
};

}  // namespace wizard
