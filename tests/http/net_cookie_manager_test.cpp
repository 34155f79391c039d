#include "http/net_cookie_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <vector>
#include <random>
#include <string>

#include "platform/clock.h"
#include "platform/time_zone.h"
#include "rtl/exception.h"

namespace quorvane {
namespace {

using platform::LocalDateTime;

// The cookies of a header in alphabetical order: equal paths may come out in any order.
std::string Sorted(const std::string& header) {
    std::vector<std::string> parts;
    std::string rest = header;
    while (!rest.empty()) {
        const size_t cut = rest.find("; ");
        parts.push_back(rest.substr(0, cut));
        rest = cut == std::string::npos ? std::string() : rest.substr(cut + 2);
    }
    std::sort(parts.begin(), parts.end());
    std::string joined;
    for (const auto& part : parts) joined += (joined.empty() ? "" : "; ") + part;
    return joined;
}

class CookieManagerTest : public ::testing::Test {
protected:
    std::string HeaderFor(const std::string& url, bool secure = false) {
        return manager_.CookieHeaderFor(TNetURI(url), secure);
    }
    int32_t Stored() { return manager_.CookieCollection().Count(); }
    // Stores the cookies of one answer from the host, in the order of its Set-Cookie lines.
    void Receive(std::initializer_list<const char*> setCookies, const std::string& host = "h.example") {
        for (const char* text : setCookies) manager_.AddServerCookie(text, host);
    }

    platform::ScopedTimeZone zone_{540};
    LocalDateTime start_{2026, 12, 7, 10, 0, 0, 0};
    platform::ScopedClock clock_{start_};
    TNetCookieManager manager_;
};

TEST_F(CookieManagerTest, CookieSetByOneAnswerIsSentWithTheNext) {
    EXPECT_EQ(HeaderFor("http://127.0.0.1/Set.cmd?cmd=GetVolt"), "");
    manager_.AddServerCookie("SID=42; path=/", "127.0.0.1");
    EXPECT_EQ(HeaderFor("http://127.0.0.1:8080/Set.cmd?cmd=GetTemp"), "SID=42");
    EXPECT_EQ(HeaderFor("http://127.0.0.2/Set.cmd"), "");
}

TEST_F(CookieManagerTest, PathRules) {
    Receive({"nopath=1", "doc=2; path=/Set.cmd", "Upper=3; path=/A/", "empty=; path=/"});
    EXPECT_EQ(Stored(), 4);
    // No path, a path naming the document, a path of other case, an empty value: never sent.
    EXPECT_EQ(HeaderFor("http://h.example/Set.cmd"), "");
    EXPECT_EQ(HeaderFor("http://h.example/a/x"), "");
    EXPECT_EQ(HeaderFor("http://h.example/A/x"), "Upper=3");
}

TEST_F(CookieManagerTest, LongestPathComesFirst) {
    Receive({"root=1; path=/", "deep=3; path=/x/y/", "mid=2; path=/x/", "other=4; path=/z/"});
    EXPECT_EQ(HeaderFor("http://h.example/x/y/page.cgi?k=1"), "deep=3; mid=2; root=1");
    EXPECT_EQ(HeaderFor("http://h.example/x/"), "mid=2; root=1");
    EXPECT_EQ(HeaderFor("http://h.example/"), "root=1");
}

TEST_F(CookieManagerTest, SameDomainAndNameReplacesWhateverThePath) {
    Receive({"ID=1; path=/a/", "id=2; path=/"});
    EXPECT_EQ(Stored(), 1);
    EXPECT_EQ(HeaderFor("http://h.example/a/"), "id=2");
    // Another domain keeps its own cookie of the same name.
    manager_.AddServerCookie("id=3; path=/", "g.example");
    EXPECT_EQ(Stored(), 2);
    EXPECT_EQ(HeaderFor("http://g.example/"), "id=3");
    EXPECT_EQ(HeaderFor("http://h.example/"), "id=2");
}

TEST_F(CookieManagerTest, CookiesForOtherHostsAreDropped) {
    manager_.AddServerCookie("a=1; path=/; domain=10.0.0.2", "10.0.0.1");
    manager_.AddServerCookie("b=1; path=/; domain=example.com", "www.example.com");
    EXPECT_EQ(Stored(), 0);
    manager_.AddServerCookie("c=1; path=/; domain=.example.com", "www.example.com");
    EXPECT_EQ(Stored(), 1);
}

TEST_F(CookieManagerTest, DomainMustBeTheHostOrAParentDomainOfIt) {
    manager_.AddServerCookie("ip=1; path=/", "10.0.0.1");
    manager_.AddServerCookie("dot=2; path=/; domain=.example.com", "www.example.com");
    manager_.AddServerCookie("bare=3; path=/", "example.com");
    // A domain that merely occurs inside another host's text is another host.
    EXPECT_EQ(HeaderFor("http://10.0.0.10/"), "");
    EXPECT_EQ(HeaderFor("http://110.0.0.1/"), "");
    EXPECT_EQ(HeaderFor("http://10.0.0.1/"), "ip=1");
    EXPECT_EQ(HeaderFor("http://badexample.com/"), "");
    EXPECT_EQ(HeaderFor("http://example.com.evil/"), "");
    EXPECT_EQ(HeaderFor("http://EXAMPLE.com/"), "bare=3");
    EXPECT_EQ(Sorted(HeaderFor("http://a.b.Example.COM/")), "bare=3; dot=2");
    EXPECT_TRUE(CookieDomainMatches("example.com", "www.example.com"));
    EXPECT_FALSE(CookieDomainMatches("", ""));
    EXPECT_FALSE(CookieDomainMatches("10.0.0.1", "10.0.0.10"));
    EXPECT_FALSE(CookieDomainMatches(".0.0.1", "10.0.0.1"));
    EXPECT_TRUE(CookieDomainMatches("10.0.0.1", "10.0.0.1"));
}

TEST_F(CookieManagerTest, SecureCookiesOnlyOverSecureConnections) {
    Receive({"s=1; path=/; Secure", "p=2; path=/"});
    EXPECT_EQ(HeaderFor("http://h.example/"), "p=2");
    EXPECT_EQ(Sorted(HeaderFor("https://h.example/", true)), "p=2; s=1");
}

TEST_F(CookieManagerTest, ExpiredCookiesAreDroppedWhenAHeaderIsBuilt) {
    Receive({"past=1; path=/; expires=Mon, 07 Dec 2026 00:59:59 GMT",
             "soon=2; path=/; max-age=60",
             "later=3; path=/; expires=Mon, 07-Dec-26 02:00:00 GMT",
             "forever=4; path=/",
             "bad=5; path=/; expires=someday"});
    EXPECT_EQ(Stored(), 5);
    EXPECT_EQ(Sorted(HeaderFor("http://h.example/")), "forever=4; later=3; soon=2");
    EXPECT_EQ(Stored(), 3);

    platform::ScopedClock later(LocalDateTime{2026, 12, 7, 10, 1, 1, 0});
    EXPECT_EQ(Sorted(HeaderFor("http://h.example/")), "forever=4; later=3");
    platform::ScopedClock muchLater(LocalDateTime{2026, 12, 7, 11, 0, 1, 0});
    EXPECT_EQ(HeaderFor("http://h.example/"), "forever=4");
}

TEST_F(CookieManagerTest, ReplacementTakesOverTheNewLifetime) {
    Receive({"a=1; path=/; expires=Mon, 07 Dec 2026 02:00:00 GMT",
             "a=2; path=/; expires=Mon, 07 Dec 2027 02:00:00 GMT"});
    ASSERT_EQ(Stored(), 1);
    EXPECT_EQ(manager_.CookieCollection().Items(0)->Expires, "Mon, 07 Dec 2027 02:00:00 GMT");
    platform::ScopedClock muchLater(LocalDateTime{2027, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(HeaderFor("http://h.example/"), "a=2");
    // The usual way of deleting a cookie: the same name again, expired.
    manager_.AddServerCookie("a=deleted; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h.example");
    EXPECT_EQ(HeaderFor("http://h.example/"), "");
    EXPECT_EQ(Stored(), 0);
}

TEST_F(CookieManagerTest, ReplacementWithAnEmptyValueKeepsNameAndPath) {
    Receive({"sid=abc; path=/", "sid=; path=/"});
    ASSERT_EQ(Stored(), 1);
    const auto* cookie = manager_.CookieCollection().Items(0);
    EXPECT_EQ(cookie->CookieName, "sid");
    EXPECT_EQ(cookie->Value, "");
    EXPECT_EQ(cookie->Path, "/");
}

TEST_F(CookieManagerTest, EventsSeeCreationNewCookiesAndDestruction) {
    int created = 0;
    int destroyed = 0;
    {
        TNetCookieManager manager;
        manager.OnDestroy = [&](TNetCookieManager& sender, TNetCookies& store) {
            EXPECT_EQ(&sender, &manager);
            EXPECT_EQ(&store, &manager.CookieCollection());
            ++destroyed;
        };
        manager.OnNewCookie = [&](TNetCookieManager&, TNetCookieRFC2109& cookie, bool& accept) {
            ++created;
            accept = cookie.CookieName != "veto";
        };
        manager.AddServerCookie("veto=1; path=/", "h.example");
        manager.AddServerCookie("keep=1; path=/", "h.example");
        manager.AddServerCookie("x=1; domain=elsewhere.example", "h.example");  // dropped before the event
        EXPECT_EQ(created, 2);
        EXPECT_EQ(manager.CookieCollection().Count(), 1);
        EXPECT_EQ(manager.CookieHeaderFor(TNetURI("http://h.example/"), false), "keep=1");

        manager.OnNewCookie = [](TNetCookieManager&, TNetCookieRFC2109&, bool&) { throw Exception("handler"); };
        EXPECT_THROW(manager.AddServerCookie("y=1", "h.example"), Exception);
        EXPECT_EQ(manager.CookieCollection().Count(), 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST_F(CookieManagerTest, SetCookie2PortFailurePropagatesAndStoresNothing) {
    EXPECT_THROW(manager_.AddServerCookie2("a=1; path=/; Port=\"80,eighty\"", "h.example"), EConvertError);
    EXPECT_EQ(Stored(), 0);
    manager_.AddServerCookie2("b=2; path=/; Port=\"80,8080\"; Discard", "h.example");
    ASSERT_EQ(Stored(), 1);
    auto* cookie = dynamic_cast<TNetCookieRFC2965*>(manager_.CookieCollection().Items(0));
    ASSERT_NE(cookie, nullptr);
    EXPECT_EQ(cookie->PortNumbers, (std::vector<int32_t>{80, 8080}));
    EXPECT_EQ(HeaderFor("http://h.example/"), "b=2");
}

TEST_F(CookieManagerTest, ArbitraryBytesNeverBreakTheStore) {
    std::mt19937 random(12345);
    const std::string alphabet = "ab=;, \"\t\r\n.-/:0123456789PpAaTtHhEeXxIiRrSsMmDdOoNnCcUu";
    for (int round = 0; round < 1500; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 80);
        for (int i = 0; i < length; ++i)
            text += (random() % 8 == 0) ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        const char* host = (round % 3 == 0) ? "10.0.0.1" : (round % 3 == 1 ? "h.example" : "");
        try {
            if (round % 2 == 0)
                manager_.AddServerCookie(text, host);
            else
                manager_.AddServerCookie2(text, host);
        } catch (const EConvertError&) {
            // a quoted port list with a non-number: the one failure a cookie may raise
        }
        if (round % 50 == 0) {
            EXPECT_NO_THROW(HeaderFor("http://h.example/a/"));
        }
    }
    EXPECT_NO_THROW(HeaderFor("http://10.0.0.1/"));
    EXPECT_LE(Stored(), 1500);
}

TEST_F(CookieManagerTest, LongAttributeLinesCostLinearTime) {
    // A quarter megabyte of attributes: cut from the front one by one this would take minutes.
    std::string text = "big=1; path=/";
    while (text.size() < (1u << 18)) text += "; a";
    std::string equalNames = "eq=1; path=/";
    while (equalNames.size() < (1u << 18)) equalNames += "; x=1";
    const auto started = std::chrono::steady_clock::now();
    manager_.AddServerCookie(text, "h.example");
    manager_.AddServerCookie(equalNames, "h.example");
    EXPECT_EQ(Sorted(HeaderFor("http://h.example/")), "big=1; eq=1");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST_F(CookieManagerTest, TenThousandCookiesStoreAndExpireQuickly) {
    // As many Set-Cookie lines as one response header block may hold, half of them expired.
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
        const std::string expiry = (i % 2 == 0) ? "; expires=Sun, 06 Nov 1994 08:49:37 GMT" : "";
        manager_.AddServerCookie("c" + std::to_string(i) + "=v; path=/" + expiry, "h.example");
    }
    EXPECT_EQ(Stored(), 10000);
    const std::string header = HeaderFor("http://h.example/");
    EXPECT_EQ(Stored(), 5000);
    EXPECT_EQ(std::count(header.begin(), header.end(), ';'), 4999);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(CookieManagerZone, WithoutZoneDataHeadersFailButDestructionDoesNot) {
    auto manager = std::make_unique<TNetCookieManager>();
    {
        platform::ScopedTimeZone zone(0);
        manager->AddServerCookie("a=1; path=/; expires=Mon, 07 Dec 2099 02:00:00 GMT", "h.example");
    }
    auto failing = platform::ScopedTimeZone::Failing();
    EXPECT_THROW(manager->CookieHeaderFor(TNetURI("http://h.example/"), false), ENetFailedToRetreiveTimeZoneInfo);
    EXPECT_NO_THROW(manager.reset());
}

}  // namespace
}  // namespace quorvane
