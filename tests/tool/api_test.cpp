// The tool declares the client library's types, constants and entry points
// itself; every one must match the system's ibase.h.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

// ibase.h defines its constants as macros, which would rewrite the tool's
// names: the tool's values are taken first, the header's after.
#include "ClientApi.h"

#define CONSTANTS(X)                                                                              \
    X(ISC_STATUS_LENGTH)                                                                          \
    X(isc_dpb_version1) X(isc_dpb_user_name) X(isc_dpb_password) X(isc_tpb_version3)              \
        X(isc_tpb_read_committed) X(isc_tpb_rec_version) X(isc_tpb_nowait) X(isc_info_end)        \
            X(isc_info_db_sql_dialect) X(isc_info_sql_stmt_type) X(isc_info_sql_stmt_select)      \
                X(isc_info_sql_stmt_select_for_upd) X(SQLDA_VERSION1) X(SQL_DIALECT_V6)           \
                    X(DSQL_drop) X(SQL_VARYING) X(SQL_TEXT) X(SQL_LONG) X(SQL_SHORT) X(SQL_INT64) \
                        X(isc_spb_current_version) X(isc_spb_version) X(isc_spb_user_name)        \
                            X(isc_spb_password) X(isc_action_svc_backup) X(isc_spb_dbname)        \
                                X(isc_spb_verbose) X(isc_spb_options) X(isc_spb_bkp_file)         \
                                    X(isc_spb_bkp_length) X(isc_spb_bkp_ignore_limbo)             \
                                        X(isc_info_svc_line) X(isc_info_truncated)

namespace {
struct Constant {
    std::string name;
    long long value;
    bool operator==(const Constant&) const = default;
};
#define TOOL_CONSTANT(name) Constant{#name, static_cast<long long>(quenlet::client::name)},
const std::vector<Constant> kTool = {CONSTANTS(TOOL_CONSTANT)};
}  // namespace

#include <ibase.h>

namespace q = quenlet::client;

namespace {

std::ostream& operator<<(std::ostream& out, const Constant& c) {
    return out << c.name << " = " << c.value;
}

#define HEADER_CONSTANT(name) Constant{#name, static_cast<long long>(name)},
const std::vector<Constant> kHeader = {CONSTANTS(HEADER_CONSTANT)};

TEST(ClientApi, ConstantsMatchIbaseH) {
    ASSERT_EQ(kHeader.size(), kTool.size());
    for (size_t i = 0; i < kHeader.size(); ++i) EXPECT_EQ(kHeader[i], kTool[i]);
}

TEST(ClientApi, TypesMatchIbaseH) {
    EXPECT_TRUE((std::is_same_v<ISC_STATUS, q::ISC_STATUS>));
    EXPECT_TRUE((std::is_same_v<FB_API_HANDLE, q::FB_API_HANDLE>));
    EXPECT_TRUE((std::is_same_v<ISC_LONG, q::ISC_LONG>));
    EXPECT_TRUE((std::is_same_v<ISC_INT64, q::ISC_INT64>));
    EXPECT_TRUE((std::is_same_v<isc_resv_handle, q::isc_resv_handle>));
}

TEST(ClientApi, SqldaLayoutMatchesIbaseH) {
    EXPECT_EQ(sizeof(XSQLVAR), sizeof(q::XSQLVAR));
    EXPECT_EQ(sizeof(XSQLDA), sizeof(q::XSQLDA));
#define AT(type, field) EXPECT_EQ(offsetof(type, field), offsetof(q::type, field)) << #field
    AT(XSQLVAR, sqltype);
    AT(XSQLVAR, sqlscale);
    AT(XSQLVAR, sqllen);
    AT(XSQLVAR, sqldata);
    AT(XSQLVAR, sqlind);
    AT(XSQLVAR, aliasname);
    AT(XSQLDA, version);
    AT(XSQLDA, sqldabc);
    AT(XSQLDA, sqln);
    AT(XSQLDA, sqld);
    AT(XSQLDA, sqlvar);
#undef AT
}

// The pointer types of the tool's list are exactly those of the declared
// functions (on Linux the calling convention is the default one).
// The tool's pointer type with its own XSQLDA read as the header's, whose
// layout the test above compares.
template <typename T>
struct AsHeader {
    using type = T;
};
template <>
struct AsHeader<q::XSQLDA*> {
    using type = XSQLDA*;
};
template <>
struct AsHeader<const q::XSQLDA*> {
    using type = const XSQLDA*;
};
template <typename R, typename... A>
struct AsHeader<R (*)(A...)> {
    using type = R (*)(typename AsHeader<A>::type...);
};

// isc_interprete is deprecated in the header but is what the tool calls.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
TEST(ClientApi, EntryPointsMatchIbaseH) {
    int count = 0;
#define QUENLET_CHECK_ENTRY(name, result, params)                                            \
    EXPECT_TRUE((std::is_same_v<decltype(&::name), AsHeader<q::name##_fn>::type>)) << #name; \
    ++count;
    QUENLET_CLIENT_ENTRY_POINTS(QUENLET_CHECK_ENTRY)
#undef QUENLET_CHECK_ENTRY
    EXPECT_EQ(21, count);
}

}  // namespace
