#include "engine/InstanceName.h"

#include "outside/Outside.h"
#include "platform/PathText.h"

namespace engine {

namespace {

// Service names and the folder mark are ASCII: folding ASCII letters
// compares them as Windows does.
using platform::FoldedAscii;
using platform::StartsWithFoldedAscii;

const wchar_t* PrefixFor(const std::wstring& serverDir) {
    return FoldedAscii(serverDir).find(FoldedAscii(outside::kFolder64Marker)) != std::wstring::npos
               ? outside::kInstancePrefix64
               : outside::kInstancePrefix32;
}

}  // namespace

InstanceName::InstanceName(const std::wstring& serverDir, environment::Port port)
    : text_(PrefixFor(serverDir) + port.Text()), port_(port) {}

std::optional<InstanceName> InstanceName::OfService(const std::wstring& serviceName) {
    const std::wstring base = outside::kServiceNamePrefix;
    for (const wchar_t* prefix : {outside::kInstancePrefix64, outside::kInstancePrefix32}) {
        const std::wstring head = base + prefix;
        if (serviceName.size() <= head.size() || !StartsWithFoldedAscii(serviceName, head)) continue;
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
    return serviceName.size() > prefix.size() && StartsWithFoldedAscii(serviceName, prefix)
               ? serviceName.substr(prefix.size())
               : serviceName;
}

}  // namespace engine
