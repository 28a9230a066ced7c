#include "Backup.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>
#include <vector>

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

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start =
            end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
    }
    return lines;
}

bool IsBlankLine(const std::wstring& line) {
    for (wchar_t c : line)
        if (c > L' ') return false;
    return true;
}

// A size as a 32-bit integer: leading blanks, a sign, decimal digits.
int32_t ParseSize(const std::wstring& text) {
    std::string plain;
    size_t i = text.find_first_not_of(L' ');
    bool valid = i != std::wstring::npos;
    for (; valid && i < text.size(); ++i) {
        wchar_t c = text[i];
        if ((c >= L'0' && c <= L'9') || ((c == L'-' || c == L'+') && plain.empty()))
            plain += char(c);
        else
            valid = false;
    }
    int32_t value = 0;
    if (valid && !plain.empty()) {
        const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
        auto [ptr, ec] = std::from_chars(first, plain.data() + plain.size(), value);
        if (ec == std::errc() && ptr == plain.data() + plain.size()) return value;
    }
    throw ToolError(kConvertError,
                    L"'" + text + L"' is not a valid integer value for Integer type");
}

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

std::string BackupStartBlock(const std::wstring& database, const std::wstring& backupFile) {
    BackupStartBlockWriter block;
    block
        .Text(isc_spb_dbname, platform::ToServerFileName(database, L"Database name"),
              L"Database name")
        .Int32(isc_spb_options, isc_spb_bkp_ignore_limbo)
        .Flag(isc_spb_verbose);
    for (const std::wstring& line : Lines(backupFile)) {
        if (IsBlankLine(line)) continue;
        size_t equals = line.find(L'=');
        std::wstring file = equals == std::wstring::npos ? line : line.substr(0, equals);
        block.Text(isc_spb_bkp_file, platform::ToServerFileName(file, L"Backup file name"),
                   L"Backup file name");
        if (equals != std::wstring::npos)
            block.Int32(isc_spb_bkp_length, ParseSize(line.substr(equals + 1)));
    }
    // The names together must fit the block's 16-bit length, not only each
    // one alone.
    return block.Bytes();
}

bool BackupDatabase(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& database, std::wstring& ErrorText,
                    const std::wstring& backupFile) {
    std::optional<Service> service;
    bool done = false;
    try {
        service.emplace(userName, password);
        service->Start(BackupStartBlock(database, backupFile));
        service->ReadToEnd();
        done = true;
    } catch (const std::exception& e) {
        ErrorText = MessageOf(e);
    }
    if (service && service->Held()) service->Detach();
    return done;
}

}  // namespace quenlet
