// Files in the application's folder, which every user of the application
// writes, from other PCs too, and in which a standard user can make
// junctions and links. What the elevated installer creates, writes or
// deletes there is reached through folders it holds open while it works,
// none of them a link, and the file itself is never followed: a planted
// link would turn the write or delete toward any other file. Such a file is
// left as it is, and the caller says so in the setup log (LinkLeftText).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/Security.h"
#include "platform/UniqueHandle.h"

namespace environment {

// What became of a change to a file in the application's folder.
enum class SharedChange {
    kDone,
    kFailed,    // GetLastError() says why
    kLinkLeft,  // the file or a folder on its way is a link: nothing changed
};

// Told of a file left alone because it is a link: its path. Empty: not told.
using LinkNotice = std::function<void(const std::wstring& path)>;

// The setup log's entry for such a file.
std::wstring LinkLeftText(const std::wstring& path);

// `path`, with "." and ".." resolved, lies below `folder` (compared without
// regard to case). Never for a UNC or device path.
bool LiesInside(const std::wstring& folder, const std::wstring& path);

// Opens the file itself (platform::OpenEntry) while the folders on its way
// are held open, without delete sharing, so that none can be swapped for a
// link meanwhile. Invalid with GetLastError() = ERROR_REPARSE_POINT_ENCOUNTERED
// when one of those folders or the file is a link, or the file has a
// further name (a hard link: writing it would change that file too).
// CREATE_ALWAYS and TRUNCATE_EXISTING empty the file only after the checks.
platform::UniqueKernelHandle OpenSharedFile(const std::wstring& path, DWORD access, DWORD share,
                                            DWORD disposition);

// `bytes` become the whole file, a new one or an existing one emptied;
// with `keepExisting` an existing file stays as it is (kFailed).
SharedChange WriteSharedFile(const std::wstring& path, const std::string& bytes,
                             bool keepExisting = false);

// `from`'s bytes and last write time go into `to` as WriteSharedFile puts
// them; nothing changes when `from` cannot be read. A copy that fails on
// the way deletes what it wrote, as CopyFileW does.
SharedChange CopySharedFile(const std::wstring& from, const std::wstring& to,
                            bool keepExisting = false);

// Deletes the file (platform::DeleteEntry); one that is not there counts as
// deleted, and so does one below a folder that is not there.
SharedChange DeleteSharedFile(const std::wstring& path);

// Rewrites the file through the one handle that OpenSharedFile opened and
// checked: `edit` gets its bytes (none for a file that is created) and
// gives the whole new content, which replaces them in place and is flushed.
// Nothing that takes the file's name meanwhile (a link, a further name) is
// written. The file stays open without write or delete sharing throughout.
SharedChange EditSharedFile(const std::wstring& path,
                            const std::function<std::string(const std::string&)>& edit);

}  // namespace environment
