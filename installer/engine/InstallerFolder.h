// The folder the installer runs from and finds its kit in.
#pragma once

#include <optional>
#include <string>

#include "platform/HeldPath.h"

namespace engine {

class InstallerFolder {
public:
    // Holds the folders on the way to the program's folder and to the kit's
    // (each a real folder of a trusted owner) until the run ends, and says
    // why the run must not start from there: either folder, or the kit,
    // could have been written by another user than an administrator. A CD
    // and a USB stick (a removable drive that keeps no rights) pass; so
    // does a missing kit, which the start-up reports on its own. Nothing
    // when the run may start.
    std::optional<std::wstring> Check(const std::wstring& programDir,
                                      const std::wstring& installerDir);
    // Deletes the file `name` of the kit's folder (the kit, a setup
    // launcher) by its own handle, never through a link; only after Check.
    void DeleteFile(const std::wstring& name) const;

private:
    std::wstring kitDir_;
    platform::HeldPath programPath_, kitPath_;
};

}  // namespace engine
