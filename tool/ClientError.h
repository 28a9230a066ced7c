// Status vectors of client library calls and the error text made from them.
#pragma once

#include <string>

#include "ClientApi.h"
#include "Errors.h"

namespace quenlet {

// The client library's interpreted messages of an error status, joined by CR LF.
std::wstring FormatClientError(const client::EntryPoints& api, const client::ISC_STATUS* status);

// The status vector of one client library call.
class StatusVector {
public:
    operator client::ISC_STATUS*() { return items_; }
    const client::ISC_STATUS* Items() const { return items_; }

    bool Failed() const { return items_[0] == 1 && items_[1] != 0; }
    // The error this status reports, as the ToolError that a call raises.
    ToolError Error(const client::EntryPoints& api) const;
    // Throws Error(api) when the status reports one.
    void Check(const client::EntryPoints& api) const {
        if (Failed()) throw Error(api);
    }

private:
    client::ISC_STATUS items_[client::ISC_STATUS_LENGTH] = {};
};

}  // namespace quenlet
