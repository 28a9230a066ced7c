// The one reader of the client library's info replies (database, statement and
// service information): items of a tag, a 2-byte length and a value, ended
// by isc_info_end. No span is read beyond the reply's end.
#pragma once

#include <string_view>

#include "ClientApi.h"

namespace quenlet {

class InfoReply {
public:
    enum class Next { Item, End, Truncated, Malformed };

    InfoReply(const client::EntryPoints& api, std::string_view reply) : api_(api), reply_(reply) {}

    // Steps to the next item; Tag() and Value() give it when the result is
    // Item. Malformed: no end mark, or a length beyond the reply.
    Next Read() {
        if (at_ >= reply_.size()) return Next::Malformed;
        auto tag = static_cast<unsigned char>(reply_[at_]);
        if (tag == client::isc_info_end) return Next::End;
        if (tag == client::isc_info_truncated) return Next::Truncated;
        if (reply_.size() - at_ < 3) return Next::Malformed;
        client::ISC_LONG length = api_.isc_vax_integer(reply_.data() + at_ + 1, 2);
        if (length < 0 || size_t(length) > reply_.size() - at_ - 3) return Next::Malformed;
        tag_ = tag;
        value_ = reply_.substr(at_ + 3, size_t(length));
        at_ += 3 + size_t(length);
        return Next::Item;
    }

    unsigned char Tag() const { return tag_; }
    std::string_view Value() const { return value_; }

private:
    const client::EntryPoints& api_;
    std::string_view reply_;
    size_t at_ = 0;
    unsigned char tag_ = 0;
    std::string_view value_;
};

}  // namespace quenlet
