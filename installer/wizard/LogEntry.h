// The time stamp of a setup log entry.
#pragma once

#include <string>

namespace wizard {

// "dd.mm.yyyy hh:nn:ss" CR LF message CR LF, stamped with the local time
// and the user's time separator.
std::wstring LogEntry(const std::wstring& message);

}  // namespace wizard
