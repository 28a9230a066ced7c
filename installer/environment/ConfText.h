// Text rules of firebird.conf, apart from reading and writing the file: the
// installer never parses the file as a whole, it looks at lines of text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace environment {

// The server's port in a firebird.conf's text: the line that begins exactly
// with "RemoteServicePort =" right after a CR LF (never the first line, never
// with bare LF ends), taken up to the first CR LF within 100 characters of
// its start; the name, every "=" and every blank removed. Empty when there is
// no such line or it does not end within the window.
std::wstring ExtractConfPort(const std::wstring& text);

// A text of decimal digits only, at most `highest`; nothing for any other
// text (empty, blanks, signs, other scripts' digits) or a larger number.
std::optional<uint32_t> DecimalNumber(const std::wstring& text, uint32_t highest);

// Which port ReadFBPort gives.
enum class PortSource {
    kAgreed,  // the port data.ini and firebird.conf agree on, else empty
    kServer,  // the port of firebird.conf
};

// ReadFBPort's choice between the port in data.ini and the port in
// firebird.conf.
std::wstring ChooseFBPort(const std::wstring& iniPort, const std::wstring& confPort,
                          PortSource source);

// Lines of a text; a line ends with CR LF or LF (a lone CR stays inside its
// line). A last line without an end counts; a final end adds no empty line.
std::vector<std::wstring> SplitConfLines(const std::wstring& text);

// Every line that contains key, or key with all blanks removed, becomes
// key + " " + value. Keys are case-sensitive; nothing is appended when no
// line matches.
void ReplaceConfLines(std::vector<std::wstring>& lines, const std::wstring& key,
                      const std::wstring& value);

// The kit's firebird.conf (kitLines) with the administrator's settings
// carried over from their old file (oldLines). Every active setting there
// (a line "Key = Value" that is no comment; blanks around both allowed)
// whose key is none of the installer's own (outside::kInstallerConfKeys)
// takes the place of the kit's line for that key, or is appended at the
// end when the kit has none; the old line is taken as it stands. Keys are
// compared without case. Of several settings of one key in the old file
// the last counts, as for the server. The kit's line for a key is its last
// active one (the one the server reads), else its first commented one
// ("#Key = ..."). Appended settings keep the order of the old file.
std::vector<std::wstring> MergeConfSettings(std::vector<std::wstring> kitLines,
                                            const std::vector<std::wstring>& oldLines);

// The lines again, each followed by CR LF.
std::wstring JoinConfLines(const std::vector<std::wstring>& lines);

}  // namespace environment
