#include "Backup.h"

#include <charconv>
#include <climits>
#include <optional>
#include <vector>

#include "EngineLibrary.h"
#include "Errors.h"
#include "ParamBlock.h"
#include "Platform.h"

namespace quenlet {

using namespace engine;

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

// The service handle of one backup call. Only the step's end detaches: an
// error status of a services call has already dropped it.
class Service {
public:
    Service(const std::wstring& userName, const std::wstring& password)
        : api_(EngineLibrary::Get()) {
        ParamBlock spb;
        spb.Byte(isc_spb_version)
            .Byte(isc_spb_current_version)
            .String8(isc_spb_user_name, platform::ToNarrow(userName), L"User name")
            .String8(isc_spb_password, platform::ToNarrow(password), L"Password");
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_service_attach(status, sizeof kServiceName - 1, kServiceName, &handle_,
                                static_cast<unsigned short>(spb.Bytes().size()),
                                spb.Bytes().data());
        Check(status);
    }

    bool Held() const { return handle_ != 0; }

    void Start(const std::string& block) {
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_service_start(status, &handle_, nullptr, static_cast<unsigned short>(block.size()),
                               block.data());
        Check(status);
    }

    // Reads the output line by line until the empty line that ends it.
    void ReadToEnd() {
        std::vector<char> buffer(kOutputBufferSize);
        const char request[] = {char(isc_info_svc_line)};
        for (;;) {
            ISC_STATUS status[ISC_STATUS_LENGTH] = {};
            api_.isc_service_query(status, &handle_, nullptr, 0, nullptr, sizeof request, request,
                                   kOutputBufferSize, buffer.data());
            Check(status);
            if (static_cast<unsigned char>(buffer[0]) != isc_info_svc_line) Unexpected();
            ISC_LONG length = api_.isc_vax_integer(buffer.data() + 1, 2);
            // The byte after the text must still lie inside the buffer.
            if (length < 0 || 3 + length >= kOutputBufferSize) Unexpected();
            if (static_cast<unsigned char>(buffer[3 + length]) != isc_info_end) Unexpected();
            if (length == 0) return;
            // The line is decoded like every engine text, then dropped.
            platform::FromNarrow(std::string_view(buffer.data() + 3, size_t(length)));
        }
    }

    // Throws the engine's error when the detach fails.
    void Detach() {
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_service_detach(status, &handle_);
        handle_ = 0;
        CheckStatus(status);
    }

private:
    void Check(const ISC_STATUS* status) {
        if (Failed(status)) {
            handle_ = 0;
            CheckStatus(status);
        }
    }
    [[noreturn]] static void Unexpected() {
        throw ToolError(kOutputError, L"Unexpected Output buffer value");
    }

    const EntryPoints& api_;
    isc_svc_handle handle_ = 0;
};

}  // namespace

std::string BackupStartBlock(const std::wstring& database, const std::wstring& backupFile) {
    ParamBlock block;
    block.Byte(isc_action_svc_backup)
        .String16(isc_spb_dbname, platform::ToNarrow(database), L"Database name")
        .Byte(isc_spb_options)
        .Int32Le(isc_spb_bkp_ignore_limbo)
        .Byte(isc_spb_verbose);
    for (const std::wstring& line : Lines(backupFile)) {
        if (IsBlankLine(line)) continue;
        size_t equals = line.find(L'=');
        std::wstring file = equals == std::wstring::npos ? line : line.substr(0, equals);
        block.String16(isc_spb_bkp_file, platform::ToNarrow(file), L"Backup file name");
        if (equals != std::wstring::npos)
            block.Byte(isc_spb_bkp_length).Int32Le(ParseSize(line.substr(equals + 1)));
    }
    // isc_service_start takes the block's length in 16 bits: the names together
    // must fit, not only each one alone.
    ParamBlock::CheckLength(block.Bytes().size(), 65535, L"The backup request");
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
