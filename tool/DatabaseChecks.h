// The two steps that work on the database through an ordinary attachment:
// the application-version check and the role SYSDBA.
#pragma once

#include <string>
#include <string_view>

namespace quenlet {

// True when the database may be processed; ErrorText is emptied then. False
// with the three-line version message in ErrorText for a database of an
// application version below 3.310. A database whose file name begins with
// "_" is not looked at. Errors of attaching or of starting the transaction
// are not caught (ToolError escapes); errors after that let the check pass.
bool CheckDatabaseVersion(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database, std::wstring& ErrorText);

// Makes the presence of the role SYSDBA match `present`. False with the
// error's message in ErrorText on any failure; ErrorText untouched on true.
// `changed`, when given, tells whether a drop or a creation was committed.
bool AdjustSysdbaRole(const std::wstring& userName, const std::wstring& password,
                      const std::wstring& database, std::wstring& ErrorText, bool present,
                      bool* changed = nullptr);

// True for a database that the version check does not look at: its file
// name begins with "_".
bool IsUncheckedDatabase(const std::wstring& database);

// The rules of the version check, exposed for tests.
// File-name part of a database name: the text after its last "\" or ":".
std::wstring DatabaseFileNamePart(const std::wstring& database);
// The version text as a number: cut before a second ".", read with the
// regional decimal separator; 0 when it cannot be read.
double VersionNumber(const std::wstring& version, wchar_t decimalSeparator);
// Reads a decimal number: blanks around it, a sign, digits with at most one
// separator, an exponent. False when the text is not such a number.
bool ParseDecimal(std::wstring_view text, wchar_t decimalSeparator, double& value);

}  // namespace quenlet
