#include "environment/Port.h"

#include "environment/ConfText.h"
#include "outside/Outside.h"

namespace environment {

std::optional<Port> Port::Parse(const std::wstring& text) {
    const std::optional<uint32_t> value = DecimalNumber(text, UINT16_MAX);
    if (!value || *value == 0) return std::nullopt;
    return Port(static_cast<uint16_t>(*value));
}

Port StandardPort() {
    return *Port::Parse(outside::kStandardPort);
}

Port NewServerPort() {
    return *Port::Parse(outside::kNewServerPort);
}

}  // namespace environment
