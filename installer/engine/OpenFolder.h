// The upgrade of a server folder that an older version left open to users:
// nothing that existed while users could write it is adopted. The folder
// is set aside once its instance has stopped, a new one is made in its
// place, and only copies of the office's data go into it; handles a user
// opened in the old folder reach only what was set aside, which the commit
// deletes and a rollback puts back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "engine/ServerFolder.h"

namespace engine {

// Files of the kit that a deployment keeps as the folder has them.
struct KeptFiles {
    std::vector<std::wstring> files;  // as the kit names them
    uint64_t bytes = 0;               // of the kit's copies, not extracted
};

// Whole megabytes, rounded up; free bytes on the drive that will hold
// `folder` (its nearest existing folder), the maximum when unknown.
std::wstring Megabytes(uint64_t bytes);
uint64_t FreeBytesFor(std::wstring folder);

class OpenFolderUpgrade {
public:
    // Before any change: a folder not known as a server's is refused, and the
    // office's data is looked at and the room for its copy checked. Raises
    // platform::Error saying why not.
    OpenFolderUpgrade(Installation& run, InstallerUi& ui, const FolderTrust& trust,
                      const archive::ArchiveSurvey& kit);
    // Once the old instance has stopped: the folder set aside, a new one made
    // and the data copied into it, each journalled. The kit's files among the
    // copies are kept. Raises platform::Error saying why not.
    KeptFiles TakeOfficeData();
    // After the commit: the setup log says what became of the folder.
    void Report() const;
    // A file of the office's data that another program holds open, which
    // would stop the upgrade once the old instance has stopped (the
    // sentence); nothing when none is.
    std::optional<std::wstring> HeldFile() const;

private:
    bool CopyOfficeFile(const platform::TreeEntry& entry, const std::wstring& shown);
    std::wstring AsidePath() const;

    Installation& run_;
    InstallerUi& ui_;
    const archive::ArchiveSurvey& kit_;
    std::wstring note_;
};

}  // namespace engine
