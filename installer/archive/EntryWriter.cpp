#include "archive/EntryWriter.h"

#include <vector>

#include "archive/EntryChecks.h"

namespace archive {

Outcome EntryWriter::Extract(const zip::Entry& e, const EntryProgress& progress) {
    std::vector<std::wstring> parts;
    if (Outcome problem = EntryProblem(e, parts); !problem.Ok()) return problem;
    if (e.isFolder) return files::MakeFolders(JoinPath(baseDir_, parts, parts.size()));
    uint64_t offset = 0;
    if (Outcome located = zip::LocateData(input_, directory_, e, offset); !located.Ok())
        return located;
    Outcome folder = files::MakeFolders(JoinPath(baseDir_, parts, parts.size() - 1));
    if (!folder.Ok()) return folder;

    files::OutputFile file;
    if (Outcome created = file.Create(JoinPath(baseDir_, parts, parts.size())); !created.Ok())
        return created;
    if (Outcome decoded = decoder_.Decode(e, offset, file, progress); !decoded.Ok()) return decoded;
    return file.Commit(e.externalAttributes, e.host);
}

}  // namespace archive
