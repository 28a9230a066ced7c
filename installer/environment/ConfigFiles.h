// The two configuration files the installer reads and edits but does not
// own: the server's firebird.conf (ANSI text, looked at line by line) and the
// application's data.ini (read through the Windows profile functions,
// written as they would write it).
// Missing files give empty text (readers) or no change (SetConfValue).
#pragma once

#include <optional>
#include <string>

#include "environment/Port.h"

#include "environment/ConfText.h"
#include "environment/SharedFolder.h"

namespace environment {

// Port of the server from a firebird.conf (see ExtractConfPort); empty when
// the file or the port line is missing. A file that exists but cannot be read
// raises platform::SystemError.
std::wstring ReadConfPort(const std::wstring& confPath);

// A port as the files give it: the port it names, nothing for a text that
// names none (empty, "x", "99999"), and the text as it stood, for a sentence
// that says what was found.
struct FoundPort {
    std::wstring text;
    std::optional<Port> port;
};

// The port that data.ini ("PORT" of "DATA") and firebird.conf agree on,
// none when they differ (kAgreed), or the port of firebird.conf (kServer).
FoundPort ReadFBPort(const std::wstring& confPath, const std::wstring& iniPath, PortSource source);

// "FBTYPE" of section "DATA" ("SS", "CS", "SC"); empty when the file or the
// key is missing.
std::wstring ReadFBType(const std::wstring& iniPath);

// "FBSERVER" of section "DATA", the server program's path; empty when the
// file or the key is missing.
std::wstring ReadFBServer(const std::wstring& iniPath);

// Writes "PORT", "FBSERVER" and "FBTYPE" of section "DATA" (SetProfileValues),
// creating data.ini when it is missing. data.ini lies in the application's
// folder, which users write: it is read and rewritten in place through one
// handle (EditSharedFile), and one that is a link stays as it is (kLinkLeft).
SharedChange WriteDataIni(const std::wstring& iniPath, Port port,
                          const std::wstring& serverExe, const std::wstring& modeCode);

// Replaces every line of firebird.conf that contains key (or key without
// blanks) by key + " " + value and writes the file back with CR LF ends in
// the ANSI code page. The new content goes to a temporary file in the same
// folder that replaces the old one only when it was written completely, with
// the old file's attributes; a missing file is left missing. A file that is
// read-only, locked or cannot be written raises platform::SystemError and is
// left as it was.
void SetConfValue(const std::wstring& confPath, const std::wstring& key, const std::wstring& value);

// Writes the kit's firebird.conf at confPath anew with the settings of the
// administrator's old one at oldPath carried over (MergeConfSettings),
// whole or not at all as SetConfValue writes. The old file is read only
// as the file it is: a link there, or a file with a further name, raises
// platform::Error (naming confPath) and nothing changes. A missing or unreadable file raises
// platform::SystemError.
void CarryConfSettings(const std::wstring& confPath, const std::wstring& oldPath);

}  // namespace environment
