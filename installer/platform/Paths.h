// Small path and text helpers shared by the layers. Folder texts end in "\".
#pragma once

#include <string>

namespace platform {

// The folder with a trailing "\" added when missing (an empty text becomes "\").
std::wstring WithDelimiter(std::wstring folder);

// The process's current directory as a folder text.
std::wstring CurrentDir();

// A file (not a folder) exists at the path.
bool FileExists(const std::wstring& path);

// `part` occurs in `text`, letters compared without regard to case.
bool ContainsNoCase(const std::wstring& text, const std::wstring& part);

}  // namespace platform
