// Which files of a server folder are whose: the office's data and the
// administrator's settings, which an upgrade and a removal keep, and the
// server's own programs. Paths relative to the server folder, either
// separator; ASCII letters compared without case. Portable: tested in the
// native build too.
#pragma once

#include <string>

namespace engine {

// A database by its name (outside::kDatabaseExtension, any case): the
// office's data, which nobody but SYSTEM and the administrators reads.
bool IsDatabaseFile(const std::wstring& path);

// Whether the kit's file at kitPath (relative to the server folder, either
// separator) is one the administrator makes their own: a database anywhere
// in the folder, or one of their configuration files at its top. Such a
// file is written only into a folder that does not have it yet. Letters
// are compared without case.
bool IsAdministratorsFile(const std::wstring& kitPath);
// What an upgrade keeps of a folder that users could write: the office's
// data, which it cannot do without (databases, the security database with
// its users among them, and the aliases), and the server's log. Settings
// and programs there may be a user's and are not kept.
bool IsKeptFromOpenFolder(const std::wstring& path);

// What a removal of the server keeps in its folder (path relative to it):
// the administrator's files (IsAdministratorsFile), firebird.conf with
// their settings, and the server's log.
bool IsKeptByRemoval(const std::wstring& path);
// A program or library by its extension (outside::kProgramExtensions): what
// a removal without the kit takes for the server's own.
bool IsProgramFile(const std::wstring& path);

}  // namespace engine
