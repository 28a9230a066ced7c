#include "Backup.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "BackupRequest.h"
#include "ClientHandle.h"
#include "ClientLibrary.h"
#include "Errors.h"
#include "InfoReply.h"
#include "ParamBlock.h"
#include "Platform.h"

namespace quenlet {

using namespace client;

namespace {

constexpr char kServiceName[] = "service_mgr";
constexpr unsigned short kOutputBufferSize = 32000;

// One backup call's connection to the services manager. Its handle is
// released on every way out; Detach() is the one end that reports a failure.
class Service {
public:
    Service(const std::wstring& userName, const std::wstring& password)
        : api_(ClientLibrary::Get()), handle_(api_) {
        std::string spb = ServiceAttachBlock()
                              .Text(isc_spb_user_name, platform::ToNarrow(userName), L"User name")
                              .Text(isc_spb_password, platform::ToNarrow(password), L"Password")
                              .Bytes();
        StatusVector status;
        api_.isc_service_attach(status, sizeof kServiceName - 1, kServiceName, handle_.Address(),
                                static_cast<unsigned short>(spb.size()), spb.data());
        handle_.CheckOpened(status);
    }

    bool Held() const { return handle_.Held(); }

    void Start(const std::string& block) {
        StatusVector status;
        api_.isc_service_start(status, handle_.Address(), nullptr,
                               static_cast<unsigned short>(block.size()), block.data());
        handle_.Check(status);
    }

    // Reads the output line by line until the empty line that ends it.
    void ReadToEnd() {
        std::vector<char> buffer(kOutputBufferSize);
        const char request[] = {char(isc_info_svc_line)};
        for (;;) {
            // A short reply must not pass its checks on bytes of the one before.
            std::fill(buffer.begin(), buffer.end(), '\0');
            StatusVector status;
            api_.isc_service_query(status, handle_.Address(), nullptr, 0, nullptr, sizeof request,
                                   request, kOutputBufferSize, buffer.data());
            handle_.Check(status);
            InfoReply reply(api_, std::string_view(buffer.data(), buffer.size()));
            if (reply.Read() != InfoReply::Next::Item || reply.Tag() != isc_info_svc_line)
                Unexpected();
            std::string_view line = reply.Value();
            if (reply.Read() != InfoReply::Next::End) Unexpected();
            if (line.empty()) return;
            // The line is decoded like every text from the server, then dropped.
            platform::FromNarrow(line);
        }
    }

    // Throws the server's error when the detach fails.
    void Detach() { handle_.End(); }

private:
    [[noreturn]] static void Unexpected() {
        throw ToolError(kOutputError, L"Unexpected Output buffer value");
    }

    const EntryPoints& api_;
    ServiceHandle handle_;
};

}  // namespace

StepResult BackupDatabase(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database, const std::wstring& backupFile) {
    std::optional<Service> service;
    StepResult result = StepResult::Done();
    try {
        service.emplace(userName, password);
        service->Start(BackupStartBlock(database, backupFile));
        service->ReadToEnd();
    } catch (const std::exception& e) {
        result = StepResult::Failed(MessageOf(e));
    }
    if (service && service->Held()) service->Detach();
    return result;
}

}  // namespace quenlet
