// A server's TCP port as a value: 1 to 65535. Texts become ports in one
// place, where they come in (an option, the page's box, data.ini,
// firebird.conf); from there on the installer carries the value and writes
// its text.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace environment {

class Port {
public:
    // The port a text names: decimal digits only, 1 to 65535, leading zeros
    // allowed ("03050" is 3050). Nothing for any other text (empty, blanks,
    // signs, letters, other scripts' digits).
    static std::optional<Port> Parse(const std::wstring& text);

    uint16_t Value() const { return value_; }
    // Decimal, without leading zeros: as firebird.conf, data.ini, an
    // instance's name and the service tool's command line take it.
    std::wstring Text() const { return std::to_wstring(value_); }

    friend bool operator==(Port, Port) = default;

private:
    explicit Port(uint16_t value) : value_(value) {}
    uint16_t value_;
};

// Firebird's standard port, the port of a server whose firebird.conf sets
// none; and the port offered for a new server.
Port StandardPort();
Port NewServerPort();

}  // namespace environment
