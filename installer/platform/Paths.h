// Small path and text helpers shared by the layers. Folder texts end in "\".
#pragma once

#include <string>

#include "platform/PathText.h"

namespace platform {

// The process's current directory as a folder text.
std::wstring CurrentDir();

// The Windows system folder ("C:\Windows\system32\"). Programs and DLLs of
// the system go by this full path: a bare name searches the installer's own
// folder first, which others may write to. Raises platform::SystemError
// when the folder cannot be read (an empty one would turn the full path
// back into a search).
std::wstring SystemDir();

// The full path of a path ("." and ".." resolved, relative ones against the
// current directory, "/" turned into "\"); empty when it cannot be made.
std::wstring FullPath(const std::wstring& path);

// Creates the folder and every folder above it that is missing; the path
// is a full one ("C:\a\b\"). False, with GetLastError() saying why, when
// one cannot be created.
bool CreateFolders(const std::wstring& folder);

// A file (not a folder) exists at the path.
bool FileExists(const std::wstring& path);
// A directory entry of that name, whatever its attributes.
bool EntryExists(const std::wstring& path);

// File names compared as Windows compares them: CompareStringOrdinal,
// without regard to case. FoldedName is a name in the one case that rule
// sees, for sets and maps of names: two names are the same exactly when
// their folded names are equal.
std::wstring FoldedName(std::wstring name);
bool SameName(const std::wstring& a, const std::wstring& b);
// `text` begins with `head`, compared as above.
bool StartsWithName(const std::wstring& text, const std::wstring& head);

// `part` occurs in `text`, letters compared without regard to case.
bool ContainsNoCase(const std::wstring& text, const std::wstring& part);

}  // namespace platform
