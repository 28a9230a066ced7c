#include "engine/InstanceName.h"

#include "outside/Outside.h"
#include "platform/PathText.h"

namespace engine {

namespace {

using platform::FoldedAscii;

// Service names and the folder mark are ASCII: folding ASCII letters
// compares them as Windows does.
bool StartsWithName(const std::wstring& text, const std::wstring& head) {
    return text.size() >= head.size() && FoldedAscii(text.substr(0, head.size())) == FoldedAscii(head);
}

}  // namespace

InstanceName::InstanceName(const std::wstring& serverDir, environment::Port port)
    : text_(std::wstring(FoldedAscii(serverDir).find(FoldedAscii(outside::kFolder64Marker)) != std::wstring::npos
                             ? outside::kInstancePrefix64
                             : outside::kInstancePrefix32) +
            port.Text()),
      port_(port) {}

std::optional<InstanceName> InstanceName::OfService(const std::wstring& serviceName) {
    const std::wstring base = outside::kServiceNamePrefix;
    for (const wchar_t* prefix : {outside::kInstancePrefix64, outside::kInstancePrefix32}) {
        const std::wstring head = base + prefix;
        if (serviceName.size() <= head.size() || !StartsWithName(serviceName, head)) continue;
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
    return serviceName.size() > prefix.size() && StartsWithName(serviceName, prefix)
               ? serviceName.substr(prefix.size())
               : serviceName;
}

}  // namespace engine
