#include "ClientError.h"

#include <cstring>
#include <vector>

#include "Platform.h"

namespace quenlet {

using namespace client;

std::wstring FormatClientError(const EntryPoints& api, const ISC_STATUS* status) {
    std::wstring text;
    std::vector<char> buffer(20480);
    ISC_STATUS* cursor = const_cast<ISC_STATUS*>(status);
    // A status vector holds at most ISC_STATUS_LENGTH items; the bound keeps
    // a faulty library from looping forever.
    for (int i = 0; i < ISC_STATUS_LENGTH; ++i) {
        buffer[0] = '\0';
        if (api.isc_interprete(buffer.data(), &cursor) <= 0) break;
        std::string_view message(buffer.data(), strnlen(buffer.data(), buffer.size()));
        if (!text.empty() && text.back() != L'\n') text += L"\r\n";
        text += platform::FromNarrow(message);
    }
    return text;
}

ToolError StatusVector::Error(const EntryPoints& api) const {
    std::wstring message = FormatClientError(api, items_);
    // An empty ErrorText would report the failed step as a success.
    if (message.empty())
        message = L"Unknown engine error (code " + std::to_wstring(items_[1]) + L")";
    return ToolError(kEngineError, message);
}

}  // namespace quenlet
