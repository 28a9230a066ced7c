// Owners of the client library's handles: one template, a traits type per handle kind
// saying how the handle is ended and what an error status does to it.
#pragma once

#include <utility>

#include "ClientApi.h"
#include "ClientError.h"

namespace quenlet {

template <typename Traits>
class ClientHandle {
public:
    using Handle = client::FB_API_HANDLE;

    explicit ClientHandle(const client::EntryPoints& api) : api_(api) {}
    // Ends a handle still held, reporting nothing: the way out after an error.
    ~ClientHandle() {
        if (!Held()) return;
        StatusVector ignored;
        Traits::End(api_, ignored, &handle_);
    }
    ClientHandle(const ClientHandle&) = delete;
    ClientHandle& operator=(const ClientHandle&) = delete;

    bool Held() const { return handle_ != Handle{}; }
    // For the calls, which take the handle by address.
    Handle* Address() { return &handle_; }
    const client::EntryPoints& Api() const { return api_; }

    // After the call that makes the handle: on an error there is none.
    void CheckOpened(const StatusVector& status) {
        if (!status.Failed()) return;
        handle_ = Handle{};
        throw status.Error(api_);
    }
    // After a call on the held handle. An error status of a services call
    // has already dropped the handle in the client library: it must not be ended
    // again.
    void Check(const StatusVector& status) {
        if (!status.Failed()) return;
        if (Traits::kErrorDropsHandle) handle_ = Handle{};
        throw status.Error(api_);
    }
    // Ends the handle and throws when that fails; it is gone either way.
    void End() {
        StatusVector status;
        Traits::End(api_, status, &handle_);
        handle_ = Handle{};
        status.Check(api_);
    }

private:
    const client::EntryPoints& api_;
    Handle handle_{};
};

struct AttachmentTraits {
    static constexpr bool kErrorDropsHandle = false;
    static void End(const client::EntryPoints& api, StatusVector& status,
                    client::isc_db_handle* h) {
        api.isc_detach_database(status, h);
    }
};

// Ending a transaction commits it; a transaction whose commit failed is
// still open on the server and is rolled back.
struct TransactionTraits {
    static constexpr bool kErrorDropsHandle = false;
    static void End(const client::EntryPoints& api, StatusVector& status,
                    client::isc_tr_handle* h) {
        api.isc_commit_transaction(status, h);
        if (!status.Failed()) return;
        StatusVector rollback;
        api.isc_rollback_transaction(rollback, h);
    }
};

struct StatementTraits {
    static constexpr bool kErrorDropsHandle = false;
    static void End(const client::EntryPoints& api, StatusVector& status,
                    client::isc_stmt_handle* h) {
        api.isc_dsql_free_statement(status, h, client::DSQL_drop);
    }
};

struct ServiceTraits {
    static constexpr bool kErrorDropsHandle = true;
    static void End(const client::EntryPoints& api, StatusVector& status,
                    client::isc_svc_handle* h) {
        api.isc_service_detach(status, h);
    }
};

using AttachmentHandle = ClientHandle<AttachmentTraits>;
using TransactionHandle = ClientHandle<TransactionTraits>;
using StatementHandle = ClientHandle<StatementTraits>;
using ServiceHandle = ClientHandle<ServiceTraits>;

}  // namespace quenlet
