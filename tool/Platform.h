// What differs between the Windows and the Linux build of the tool. One
// implementation per system: PlatformWin.cpp, PlatformPosix.cpp.
#pragma once

#include <string>
#include <string_view>

namespace quenlet::platform {

// File name under which the client library is bound: "gds32.dll" on
// Windows, "libfbclient.so.2" on Linux.
extern const wchar_t kClientLibraryName[];

// Characters that end the folder part of the tool's own path ("\" and ":" on
// Windows, "/" on Linux).
extern const wchar_t kPathDelimiters[];

// Texts to and from the server's single-byte form: the ANSI code page on
// Windows, the locale's narrow encoding on Linux. Characters that cannot be
// represented become the platform's replacement character. On Linux, bytes
// that the locale cannot decode come back unchanged from a round trip.
std::string ToNarrow(std::wstring_view text);
std::wstring FromNarrow(std::string_view bytes);

// A name of a file for the server (database, backup file): exactly, or a
// ToolError naming `what` when a character has no exact form (a best fit
// would send the server to another, valid file).
std::string ToServerFileName(std::wstring_view text, const wchar_t* what);

// Decimal separator of the user's regional settings.
wchar_t DecimalSeparator();

// Loads a library by plain file name; it stays loaded until the process
// ends. Throws ToolError (kLibraryError) with the system's reason, which may
// be empty, when it cannot be loaded.
void* OpenLibrary(const std::wstring& fileName);
// Resolves an entry point; throws ToolError (kLibraryError) with the
// platform's error text when it is missing.
void* FindEntryPoint(void* library, const char* name);

std::wstring OwnExecutablePath();
void DeleteFileQuietly(const std::wstring& path);
// Creates the file anew with exactly these bytes; throws ToolError (and
// leaves no partial file) when that fails.
void WriteNewFile(const std::wstring& path, const std::string& bytes);

// The uncaught path's report: a task-modal error box captioned
// "Application Error" on Windows, standard error on Linux. The box waits for
// someone to press OK, so it is shown only when the process's window station
// is visible; a task run whether or not a user is logged on, or a service,
// gets one that nobody sees, and there nothing is shown and the caller ends
// at once.
void ShowApplicationError(const std::wstring& text);

}  // namespace quenlet::platform
