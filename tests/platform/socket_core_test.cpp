#include "platform/socket/socket_core.h"

#include <netdb.h>

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

namespace core = platform::sockcore;
using core::TErrnoContext;

struct ErrnoCase {
    int errnoValue;
    TErrnoContext context;
    int code;
};

class ErrnoMappingTest : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoMappingTest, GivesTheLibraryCode) {
    const ErrnoCase& c = GetParam();
    EXPECT_EQ(core::WsaCodeFromErrno(c.errnoValue, c.context), c.code) << "errno " << c.errnoValue;
}

INSTANTIATE_TEST_SUITE_P(
    EveryErrnoOfTheCalls, ErrnoMappingTest,
    ::testing::Values(ErrnoCase{EINTR, TErrnoContext::plain, 10004}, ErrnoCase{EBADF, TErrnoContext::plain, 10009},
                      ErrnoCase{EACCES, TErrnoContext::plain, 10013}, ErrnoCase{EPERM, TErrnoContext::plain, 10013},
                      ErrnoCase{EFAULT, TErrnoContext::plain, 10014}, ErrnoCase{EINVAL, TErrnoContext::plain, 10022},
                      ErrnoCase{EMFILE, TErrnoContext::plain, 10024}, ErrnoCase{ENFILE, TErrnoContext::plain, 10024},
                      ErrnoCase{EAGAIN, TErrnoContext::plain, 10035},
                      ErrnoCase{EAGAIN, TErrnoContext::receiveTimed, 10060},
                      ErrnoCase{EINPROGRESS, TErrnoContext::plain, 10036},
                      ErrnoCase{EINPROGRESS, TErrnoContext::connect, 10035},
                      ErrnoCase{EALREADY, TErrnoContext::plain, 10037},
                      ErrnoCase{ENOTSOCK, TErrnoContext::plain, 10038},
                      ErrnoCase{EDESTADDRREQ, TErrnoContext::plain, 10039},
                      ErrnoCase{EMSGSIZE, TErrnoContext::plain, 10040},
                      ErrnoCase{EPROTOTYPE, TErrnoContext::plain, 10041},
                      ErrnoCase{ENOPROTOOPT, TErrnoContext::plain, 10042},
                      ErrnoCase{EPROTONOSUPPORT, TErrnoContext::plain, 10043},
                      ErrnoCase{ESOCKTNOSUPPORT, TErrnoContext::plain, 10044},
                      ErrnoCase{EOPNOTSUPP, TErrnoContext::plain, 10045},
                      ErrnoCase{EPFNOSUPPORT, TErrnoContext::plain, 10046},
                      ErrnoCase{EAFNOSUPPORT, TErrnoContext::plain, 10047},
                      ErrnoCase{EADDRINUSE, TErrnoContext::plain, 10048},
                      ErrnoCase{EADDRNOTAVAIL, TErrnoContext::plain, 10049},
                      ErrnoCase{ENETDOWN, TErrnoContext::plain, 10050},
                      ErrnoCase{ENETUNREACH, TErrnoContext::plain, 10051},
                      ErrnoCase{ENETRESET, TErrnoContext::plain, 10052},
                      ErrnoCase{ECONNABORTED, TErrnoContext::plain, 10053},
                      ErrnoCase{ECONNRESET, TErrnoContext::plain, 10054},
                      ErrnoCase{ENOBUFS, TErrnoContext::plain, 10055}, ErrnoCase{ENOMEM, TErrnoContext::plain, 10055},
                      ErrnoCase{EISCONN, TErrnoContext::plain, 10056},
                      ErrnoCase{ENOTCONN, TErrnoContext::plain, 10057},
                      ErrnoCase{ESHUTDOWN, TErrnoContext::plain, 10058},
                      ErrnoCase{EPIPE, TErrnoContext::sendAfterShutdown, 10058},
                      ErrnoCase{EPIPE, TErrnoContext::sendNeverConnected, 10057},
                      ErrnoCase{EPIPE, TErrnoContext::send, 10054},
                      ErrnoCase{ETOOMANYREFS, TErrnoContext::plain, 10059},
                      ErrnoCase{ETIMEDOUT, TErrnoContext::plain, 10060},
                      ErrnoCase{ECONNREFUSED, TErrnoContext::plain, 10061},
                      ErrnoCase{ELOOP, TErrnoContext::plain, 10062},
                      ErrnoCase{ENAMETOOLONG, TErrnoContext::plain, 10063},
                      ErrnoCase{EHOSTDOWN, TErrnoContext::plain, 10064},
                      ErrnoCase{EHOSTUNREACH, TErrnoContext::plain, 10065},
                      ErrnoCase{ENOTEMPTY, TErrnoContext::plain, 10066}));

TEST(AddrInfoMappingTest, LookUpFailuresGiveTheHostCodes) {
    EXPECT_EQ(core::WsaCodeFromAddrInfo(EAI_NONAME, 0), 11001);
    EXPECT_EQ(core::WsaCodeFromAddrInfo(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(core::WsaCodeFromAddrInfo(EAI_FAIL, 0), 11003);
    EXPECT_EQ(core::WsaCodeFromAddrInfo(EAI_NODATA, 0), 11004);
    EXPECT_EQ(core::WsaCodeFromAddrInfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

struct NameCase {
    const char* name;
    bool unresolvable;
};

class UnresolvableNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(UnresolvableNameTest, DecidesWithoutALookUp) {
    EXPECT_EQ(core::IsUnresolvableHostName(GetParam().name), GetParam().unresolvable) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    NameRules, UnresolvableNameTest,
    ::testing::Values(NameCase{"example.com", false}, NameCase{"unit-1.lan.", false}, NameCase{"host_x", false},
                      NameCase{"nonexistent.invalid", true}, NameCase{"INVALID", true}, NameCase{"x.invalid.", true},
                      NameCase{"invalidx.com", false}, NameCase{"", true}, NameCase{".", true}, NameCase{"a..b", true},
                      NameCase{".a", true}, NameCase{"bad name", true}, NameCase{"a/b", true},
                      NameCase{"256.1.1.1", true}, NameCase{"host.123", true}, NameCase{"host.1a", false}));

TEST(UnresolvableNameTest, LabelAndNameLengthLimits) {
    EXPECT_FALSE(core::IsUnresolvableHostName((std::string(63, 'a') + ".com").c_str()));
    EXPECT_TRUE(core::IsUnresolvableHostName((std::string(64, 'a') + ".com").c_str()));
    std::string longName;
    while (longName.size() < 260) longName += "abcdefghi.";
    longName += "com";
    EXPECT_TRUE(core::IsUnresolvableHostName(longName.c_str()));
}

}  // namespace
}  // namespace quorvane::testing
