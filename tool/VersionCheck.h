// The application-version check, the first step: a database of an
// application version below 3.310 is not processed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "StepResult.h"

namespace quenlet {

// Done when the database may be processed; Failed with the three-line
// version message for a database of an application version below 3.310. A
// database whose file name begins with "_" is not looked at. Errors of
// attaching or of starting the transaction are not caught (ToolError
// escapes); errors after that let the check pass.
StepResult CheckDatabaseVersion(const std::wstring& userName, const std::wstring& password,
                                const std::wstring& database);

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
// separator, an exponent. Nothing when the text is not such a number.
std::optional<double> ParseDecimal(std::wstring_view text, wchar_t decimalSeparator);

}  // namespace quenlet
