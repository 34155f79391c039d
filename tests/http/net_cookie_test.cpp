#include "http/net_cookie.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/clock.h"
#include "platform/time_zone.h"
#include "rtl/exception.h"
#include "tcp/net_exception.h"

namespace quorvane {
namespace {

// 2026-12-07 10:00:00 local, in a zone nine hours ahead of UTC.
class FixedTimeTest : public ::testing::Test {
protected:
    platform::ScopedTimeZone zone_{540};
    platform::ScopedClock clock_{platform::LocalDateTime{2026, 12, 7, 10, 0, 0, 0}};
};

TEST(TNetCookieParse, NameValueAndAttributes) {
    TNetCookieRFC2109 cookie;
    cookie.ParseCookie("ID=a=b; PaTh=\"/x/\"; Domain=example.com; secure; Comment=hi; Version=1");
    EXPECT_EQ(cookie.CookieName, "ID");
    EXPECT_EQ(cookie.Value, "a=b");
    EXPECT_EQ(cookie.Path, "/x/");
    EXPECT_EQ(cookie.CookieDomain, "example.com");
    EXPECT_TRUE(cookie.Secure);
    EXPECT_EQ(cookie.Comment, "hi");
    EXPECT_EQ(cookie.Version, "1");
    EXPECT_EQ(cookie.MaxAge, -1);
    EXPECT_EQ(cookie.HeaderText, "ID=a=b; PaTh=\"/x/\"; Domain=example.com; secure; Comment=hi; Version=1");
    EXPECT_EQ(cookie.ClientCookieText(), "ID=a=b");
}

TEST(TNetCookieParse, SplitRules) {
    struct Case {
        const char* text;
        const char* name;
        const char* value;
        const char* path;
        bool secure;
    };
    const Case cases[] = {
        {"a=b", "a", "b", "", false},
        {"  a=b  ", "  a", "b  ", "", false},                // no ";": taken whole, untrimmed
        {"a=b\r\npath=/p\r\nsecure", "a", "b", "/p", true},   // no ";": one attribute per line
        {"a=b;path=/1;PATH=/2", "a", "b", "/1", false},       // the first of equal names counts
        {"a=b; secure=yes", "a", "b", "", false},             // a flag only counts alone
        {"a=b; SeCuRe ", "a", "b", "", true},
        {"a=1; A=2", "a", "1", "", false},
        {"noequals; path=/", "", "", "/", false},
        {";;;", "", "", "", false},
        {"a=b; path=\"", "a", "b", "", false},
        {"a=b; path=\"\"", "a", "b", "", false},
        {"a=b; path =/x", "a", "b", "", false},  // "PATH " is another name
    };
    for (const Case& c : cases) {
        TNetCookieRFC2109 cookie;
        cookie.ParseCookie(c.text);
        EXPECT_EQ(cookie.CookieName, c.name) << c.text;
        EXPECT_EQ(cookie.Value, c.value) << c.text;
        EXPECT_EQ(cookie.Path, c.path) << c.text;
        EXPECT_EQ(cookie.Secure, c.secure) << c.text;
    }
}

TEST(TNetCookieParse, SameTextTwiceChangesNothingAndOddBytesNeverFail) {
    TNetCookieRFC2109 cookie;
    cookie.ParseCookie("a=b; path=/");
    cookie.Path = "/changed/";
    cookie.ParseCookie("a=b; path=/");
    EXPECT_EQ(cookie.Path, "/changed/");

    TNetCookieRFC2109 odd;
    EXPECT_NO_THROW(odd.ParseCookie(std::string("\0", 1)));
    EXPECT_EQ(odd.CookieName, "");
    std::string bytes;
    for (int i = 255; i >= 0; --i) bytes += static_cast<char>(i);
    EXPECT_NO_THROW(odd.ParseCookie(bytes));
    EXPECT_NO_THROW(odd.ParseCookie(bytes + ";" + bytes));
}

TEST_F(FixedTimeTest, MaxAgeWithoutExpiresBecomesAnExpiryDate) {
    TNetCookieRFC2109 cookie;
    cookie.ParseCookie("a=b; max-age=3600");
    EXPECT_EQ(cookie.Expires, "Mon, 7 Dec 2026 11:00:00 +0900");
    EXPECT_EQ(cookie.MaxAge, 3600);
    EXPECT_EQ(cookie.CookieKind, 0);
    EXPECT_EQ(cookie.ServerCookieText(), "a=b; expires=Mon, 7 Dec 2026 11:00:00 +0900");
}

TEST_F(FixedTimeTest, ExpiresGivesMaxAgeAndKeepsTheKind) {
    TNetCookieRFC2109 cookie;
    cookie.ParseCookie("a=b; path=/; expires=Mon, 07 Dec 2026 02:00:00 GMT; domain=h; secure");
    // The age derived from the date is replaced by the (missing) max-age attribute.
    EXPECT_EQ(cookie.MaxAge, -1);
    EXPECT_EQ(cookie.CookieKind, 1);
    EXPECT_EQ(cookie.Expires, "Mon, 07 Dec 2026 02:00:00 GMT");
    // Neither expires (kind 1) nor max-age (an expiry is set) is written back.
    EXPECT_EQ(cookie.ServerCookieText(), "a=b; path=/; domain=h; secure");
    // A date in the past gives a negative age rather than the distance as a positive one.
    cookie.SetExpiry("Mon, 07 Dec 2026 02:00:00 GMT");
    EXPECT_EQ(cookie.MaxAge, 3600);
    cookie.SetExpiry("Mon, 07 Dec 2026 00:00:00 GMT");
    EXPECT_EQ(cookie.MaxAge, -3600);
    {
        // Without zone data the age stays; the text is still taken.
        auto failing = platform::ScopedTimeZone::Failing();
        cookie.SetExpiry("Mon, 07 Dec 2026 05:00:00 GMT");
    }
    EXPECT_EQ(cookie.MaxAge, -3600);
    EXPECT_EQ(cookie.Expires, "Mon, 07 Dec 2026 05:00:00 GMT");
}

TEST_F(FixedTimeTest, MaxAgeOutOfRangeIsHandled) {
    TNetCookieRFC2109 huge;
    huge.ParseCookie("a=b; max-age=99999999999999999999999");
    EXPECT_EQ(huge.MaxAge, -1);
    EXPECT_EQ(huge.Expires, "");
    TNetCookieRFC2109 widest;
    widest.ParseCookie("a=b; max-age=9223372036854775807");
    EXPECT_NE(widest.Expires.find("9999"), std::string::npos) << widest.Expires;
    TNetCookieRFC2109 negative;
    negative.ParseCookie("a=b; max-age=-5");
    EXPECT_EQ(negative.Expires, "");
    EXPECT_EQ(negative.ServerCookieText(), "a=b");
    TNetCookieRFC2109 zero;
    zero.ParseCookie("a=b; max-age=0");
    EXPECT_EQ(zero.Expires, "Mon, 7 Dec 2026 10:00:00 +0900");
    TNetCookieRFC2109 plainAge;
    plainAge.ParseCookie("a=b; max-age=12; comment=c");
    plainAge.Expires.clear();
    EXPECT_EQ(plainAge.ServerCookieText(), "a=b; max-age=12; comment=c");
}

TEST(TNetNetscapeCookie, ServerCookieTextOfThePlainKind) {
    TNetNetscapeCookie cookie;
    cookie.ParseCookie("n=v; path=/p; expires=Sun, 06 Nov 1994 08:49:37 GMT; domain=d; secure");
    EXPECT_EQ(cookie.Expires, "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(cookie.ServerCookieText(), "n=v; path=/p; expires=Sun, 06 Nov 1994 08:49:37 GMT; domain=d; secure");
    cookie.Value.clear();
    EXPECT_EQ(cookie.ServerCookieText(), "path=/p; expires=Sun, 06 Nov 1994 08:49:37 GMT; domain=d; secure");
}

TEST(TNetCookieAssign, TakesOverRfcKindsOnly) {
    TNetCookieRFC2965 source;
    source.ParseCookie("n=v; path=/p; domain=d; version=1; expires=Sun, 06 Nov 1994 08:49:37 GMT");
    TNetCookieRFC2109 target;
    target.Assign(source);
    EXPECT_EQ(target.Value, "v");
    EXPECT_EQ(target.Path, "/p");
    EXPECT_EQ(target.Version, "1");
    // The expiry and the kind come along although the server text of kind 2 writes neither.
    EXPECT_EQ(target.Expires, "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(target.CookieKind, 2);

    TNetNetscapeCookie plain;
    plain.ParseCookie("other=x");
    target.Assign(plain);
    EXPECT_EQ(target.CookieName, "n");
}

TEST(TNetCookieRFC2965, PortsDiscardAndCommentURL) {
    TNetCookieRFC2965 none;
    none.ParseCookie("a=b; Discard; CommentURL=http://x/");
    EXPECT_EQ(none.PortNumbers, std::vector<int32_t>{80});
    EXPECT_TRUE(none.Discard);
    EXPECT_EQ(none.CommentURL, "http://x/");

    TNetCookieRFC2965 listed;
    listed.ParseCookie("a=b; port=\"8080,81, 82\"; discard=1");
    EXPECT_EQ(listed.PortNumbers, (std::vector<int32_t>{8080, 81, 82}));
    EXPECT_FALSE(listed.Discard);

    TNetCookieRFC2965 emptyList;
    emptyList.ParseCookie("a=b; Port=\"\"");
    EXPECT_EQ(emptyList.PortNumbers, std::vector<int32_t>{80});

    TNetCookieRFC2965 unquoted;
    unquoted.ParseCookie("a=b; Port=81");
    EXPECT_TRUE(unquoted.PortNumbers.empty());

    TNetCookieRFC2965 bad;
    EXPECT_THROW(bad.ParseCookie("a=b; Port=\"80,x\""), EConvertError);
    TNetCookieRFC2965 overflow;
    EXPECT_THROW(overflow.ParseCookie("a=b; Port=\"99999999999\""), EConvertError);

    std::string many = "a=b; Port=\"";
    for (int i = 0; i < 10000; ++i) many += std::to_string(i) + (i < 9999 ? "," : "\"");
    TNetCookieRFC2965 big;
    big.ParseCookie(many);
    ASSERT_EQ(big.PortNumbers.size(), 10000u);
    EXPECT_EQ(big.PortNumbers.back(), 9999);
}

TEST(TNetCookieRFC2965, AddPortIndexRules) {
    TNetCookieRFC2965 cookie;
    cookie.AddPort(0, 1);
    cookie.AddPort(1, 2);
    cookie.AddPort(0, 3);
    EXPECT_EQ(cookie.PortNumbers, (std::vector<int32_t>{3, 2}));
    try {
        cookie.AddPort(3, 4);
        FAIL() << "no exception";
    } catch (const ENetException& e) {
        EXPECT_EQ(e.Message(), "Index out of range.");
    }
    EXPECT_THROW(cookie.AddPort(-1, 4), ENetException);
}

struct HostCase {
    const char* domain;
    const char* host;
    bool accepted;
};

void PrintTo(const HostCase& c, std::ostream* os) { *os << c.domain << " from " << c.host; }

class AcceptsHostTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(AcceptsHostTest, DomainAgainstSendingHost) {
    TNetCookieRFC2109 cookie;
    cookie.CookieDomain = GetParam().domain;
    EXPECT_EQ(cookie.AcceptsHost(GetParam().host), GetParam().accepted)
        << GetParam().domain << " from " << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AcceptsHostTest,
    ::testing::Values(HostCase{"10.0.0.1", "10.0.0.1", true}, HostCase{"10.0.0.01", "10.0.0.1", false},
                      HostCase{"10.0.0.10", "10.0.0.1", false}, HostCase{".0.0.1", "10.0.0.1", false},
                      HostCase{"www.example.com", "www.example.com", true},
                      HostCase{"WWW.example.com", "www.example.com", false},
                      HostCase{".example.com", "www.example.com", true},
                      HostCase{"example.com", "www.example.com", false},
                      HostCase{".other.com", "www.example.com", false},
                      HostCase{"10.0.0.1", "www.example.com", false},
                      HostCase{"localhost", "localhost", true}, HostCase{".localhost", "localhost", false},
                      HostCase{".EXAMPLE.com", ".example.com", true}, HostCase{"x", ".example.com", false}));

TEST(LooksLikeIPv4, FourNumbersUpTo255) {
    for (const char* yes : {"10.0.0.1", "255.255.255.255", " 1.2.3.4 ", "1.2.3.4.5", "1.2.3.4.x", "0.0.0.0"})
        EXPECT_TRUE(LooksLikeIPv4(yes)) << yes;
    for (const char* no : {"256.0.0.1", "1.2.3", "a.b.c.d", "1..2.3", "-1.2.3.4", "", "1.2.3.", "example.com"})
        EXPECT_FALSE(LooksLikeIPv4(no)) << no;
}

}  // namespace
}  // namespace quorvane
