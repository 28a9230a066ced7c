// The Windows event log's Application log: an event source registered as
// programs built on the .NET Framework register theirs, and one event
// written under it. Declarations only, without windows.h: the portable
// event texts name the levels too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace environment {

enum class EventLevel { kInformation, kWarning, kError };

// Registers `source` in the Application log where no key of that name is
// there yet: the key, with EventMessageFile naming the .NET Framework's
// EventLogMessages.dll (Microsoft.NET\Framework64\v4.0.30319\ in the
// system's Windows folder), whose every message is its first insertion
// string, so that Event Viewer shows an event's text. Without that file
// nothing is made and events go unregistered. An existing key stays as it
// is. Raises platform::SystemError when the key cannot be read or made.
void RegisterEventLogSource(const std::wstring& source);

// Writes one event of `level` and `id` under `source` into the Application
// log with `strings` as its insertion strings (a registered source shows the
// first as its message). Raises platform::SystemError when the source
// cannot be opened or the event not written.
void WriteEventLogEntry(const std::wstring& source, EventLevel level, uint32_t id,
                        const std::vector<std::wstring>& strings);

}  // namespace environment
