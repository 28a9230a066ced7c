// Which entries a file mask selects.
#pragma once

#include <string>

namespace archive::zip {

// Matches an entry name ("\" separators) against a mask: "*" any run of
// characters (separators included), "?" one character, letters compared
// without case; "*.*" and "*" match every entry.
bool MatchesMask(const std::wstring& name, const std::wstring& mask);

}  // namespace archive::zip
