#include "engine/InstanceName.h"

#include <windows.h>

#include "outside/Outside.h"
#include "platform/Paths.h"

namespace engine {

InstanceName::InstanceName(const std::wstring& serverDir, environment::Port port)
    : text_(std::wstring(platform::ContainsNoCase(serverDir, outside::kFolder64Marker)
                             ? outside::kInstancePrefix64
                             : outside::kInstancePrefix32) +
            port.Text()),
      port_(port) {}

std::optional<InstanceName> InstanceName::OfService(const std::wstring& serviceName) {
    const std::wstring base = outside::kServiceNamePrefix;
    for (const wchar_t* prefix : {outside::kInstancePrefix64, outside::kInstancePrefix32}) {
        const std::wstring head = base + prefix;
        if (serviceName.size() <= head.size() ||
            !platform::SameName(serviceName.substr(0, head.size()), head))
            continue;
        const std::wstring digits = serviceName.substr(head.size());
        const std::optional<environment::Port> port = environment::Port::Parse(digits);
        // Only the name this class makes for that port: no leading zero.
        if (port && port->Text() == digits)
            return InstanceName(*port, serviceName.substr(base.size()));
    }
    return std::nullopt;
}

std::wstring InstanceName::Service() const {
    return outside::kServiceNamePrefix + text_;
}

std::wstring InstanceText(const std::wstring& serviceName) {
    const std::wstring prefix = outside::kServiceNamePrefix;
    return serviceName.size() > prefix.size() &&
                   platform::SameName(serviceName.substr(0, prefix.size()), prefix)
               ? serviceName.substr(prefix.size())
               : serviceName;
}

}  // namespace engine
