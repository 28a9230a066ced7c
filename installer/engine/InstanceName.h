// A server instance's name, the one place that makes it from a server folder
// and a port and that reads it back from a service's name. Firebird's
// service tool registers the instance as the Windows service
// "FirebirdServer" + the name.
#pragma once

#include <optional>
#include <string>

#include "environment/Port.h"

namespace engine {

class InstanceName {
public:
    // "velmora64b_" + port, or "velmora32b_" + port when the server folder's
    // path lacks "_x64" (any case).
    InstanceName(const std::wstring& serverDir, environment::Port port);
    // The installer's own instance a service's name stands for
    // ("FirebirdServer" + one of the two prefixes + the port as written
    // here, any case); nothing for any other service.
    static std::optional<InstanceName> OfService(const std::wstring& serviceName);

    const std::wstring& Text() const { return text_; }
    std::wstring Service() const;
    environment::Port Port() const { return port_; }

private:
    InstanceName(environment::Port port, std::wstring text) : text_(std::move(text)), port_(port) {}
    std::wstring text_;
    environment::Port port_;
};

// The instance name a service's name carries (the service tool's "-n"
// name: the name without its "FirebirdServer" prefix), for a sentence; for
// any service, the legacy server's too.
std::wstring InstanceText(const std::wstring& serviceName);

}  // namespace engine
