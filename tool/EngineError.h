// Status vectors of engine calls and the error text made from them.
#pragma once

#include <string>

#include "EngineApi.h"
#include "Errors.h"

namespace quenlet {

// The engine's interpreted messages of an error status, joined by CR LF.
std::wstring FormatEngineError(const engine::EntryPoints& api, const engine::ISC_STATUS* status);

// The status vector of one engine call.
class StatusVector {
public:
    operator engine::ISC_STATUS*() { return items_; }
    const engine::ISC_STATUS* Items() const { return items_; }

    bool Failed() const { return items_[0] == 1 && items_[1] != 0; }
    // The error this status reports, as a step puts it into ErrorText.
    ToolError Error(const engine::EntryPoints& api) const;
    // Throws Error(api) when the status reports one.
    void Check(const engine::EntryPoints& api) const {
        if (Failed()) throw Error(api);
    }

private:
    engine::ISC_STATUS items_[engine::ISC_STATUS_LENGTH] = {};
};

}  // namespace quenlet
