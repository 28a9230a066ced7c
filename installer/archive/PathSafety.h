// Whether an entry's name stays inside the extraction folder.
#pragma once

#include <string>
#include <vector>

namespace archive::zip {

// The entry's path below the extraction folder as its parts, or false when
// the name would leave that folder (absolute, drive or stream colon, ".."
// or other all-dot parts), has a part in the form of a short alias
// ("DATABA~1.CON", which may name another file), or is empty.
bool SplitSafePath(const std::wstring& name, std::vector<std::wstring>& parts);

}  // namespace archive::zip
