// Writers for the client library's parameter blocks, one per block kind. Each starts
// with its kind's version byte (the action, for a service start), writes
// every text with the length width that its tag takes, and checks the
// finished block against the length type of the call that takes it: a value
// or block too long for its length field would corrupt the block.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "ClientApi.h"
#include "Errors.h"

namespace quenlet {

// Throws ToolError when `length` exceeds `limit`; `what` names the value.
inline void CheckLength(size_t length, size_t limit, const wchar_t* what) {
    if (length > limit)
        throw ToolError(kParameterError, std::wstring(what) + L" is too long: " +
                                             std::to_wstring(length) + L" bytes, at most " +
                                             std::to_wstring(limit) + L" are allowed");
}

template <typename Kind>
class ParamBlock {
public:
    ParamBlock() : bytes_(Kind::kHead) {}

    // Tag, the value's length in the tag's width (low byte first), the value.
    ParamBlock& Text(unsigned char tag, std::string_view value, const wchar_t* what) {
        int width = Kind::TextWidth(tag);
        if (width == 0) throw ToolError(kParameterError, L"No text item for this tag");
        CheckLength(value.size(), width == 1 ? 0xFF : 0xFFFF, what);
        Byte(tag).Byte(value.size() & 0xFF);
        if (width == 2) Byte((value.size() >> 8) & 0xFF);
        bytes_.append(value);
        return *this;
    }
    // Tag and a 4-byte value, low byte first.
    ParamBlock& Int32(unsigned char tag, int32_t value) {
        uint32_t v = static_cast<uint32_t>(value);
        return Byte(tag).Byte(v & 0xFF).Byte((v >> 8) & 0xFF).Byte((v >> 16) & 0xFF).Byte(v >> 24);
    }
    ParamBlock& Flag(unsigned char tag) { return Byte(tag); }

    // The finished block.
    const std::string& Bytes() const {
        CheckLength(bytes_.size(), Kind::kLimit, Kind::kWhat);
        return bytes_;
    }

private:
    ParamBlock& Byte(unsigned int b) {
        bytes_ += static_cast<char>(b);
        return *this;
    }

    std::string bytes_;
};

// isc_attach_database: version 1, one length byte per item, a short length.
struct DatabaseAttachKind {
    static constexpr std::string_view kHead{"\x01", 1};
    static constexpr size_t kLimit = std::numeric_limits<short>::max();
    static constexpr const wchar_t* kWhat = L"The database parameter block";
    static constexpr int TextWidth(unsigned char) { return 1; }
};
static_assert(DatabaseAttachKind::kHead[0] == client::isc_dpb_version1);

// isc_service_attach: version 2, one length byte per item.
struct ServiceAttachKind {
    static constexpr std::string_view kHead{"\x02\x02", 2};
    static constexpr size_t kLimit = std::numeric_limits<unsigned short>::max();
    static constexpr const wchar_t* kWhat = L"The service parameter block";
    static constexpr int TextWidth(unsigned char) { return 1; }
};
static_assert(ServiceAttachKind::kHead[0] == client::isc_spb_version &&
              ServiceAttachKind::kHead[1] == client::isc_spb_current_version);

// isc_service_start of the backup action: names with two length bytes.
struct BackupStartKind {
    static constexpr std::string_view kHead{"\x01", 1};
    static constexpr size_t kLimit = std::numeric_limits<unsigned short>::max();
    static constexpr const wchar_t* kWhat = L"The backup request";
    static constexpr int TextWidth(unsigned char tag) {
        return tag == client::isc_spb_dbname || tag == client::isc_spb_bkp_file ? 2 : 0;
    }
};
static_assert(BackupStartKind::kHead[0] == client::isc_action_svc_backup);

using DatabaseAttachBlock = ParamBlock<DatabaseAttachKind>;
using ServiceAttachBlock = ParamBlock<ServiceAttachKind>;
using BackupStartBlockWriter = ParamBlock<BackupStartKind>;

}  // namespace quenlet
