// Takes entries out of the archive into their place below the base folder:
// a temporary file, the CRC, then the final name. One per thread, like the
// decoder it holds.
#pragma once

#include <string>

#include "archive/ArchiveFiles.h"
#include "archive/EntryDecoder.h"
#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive {

class EntryWriter {
public:
    EntryWriter(const std::wstring& baseDir, files::InputFile& input,
                const zip::Directory& directory, bool threadedWrites)
        : baseDir_(baseDir),
          input_(input),
          directory_(directory),
          decoder_(input, threadedWrites) {}

    // A failed outcome carries the text for the failure event.
    Outcome Extract(const zip::Entry& e, const EntryProgress& progress);

private:
    const std::wstring& baseDir_;
    files::InputFile& input_;
    const zip::Directory& directory_;
    EntryDecoder decoder_;
};

}  // namespace archive
