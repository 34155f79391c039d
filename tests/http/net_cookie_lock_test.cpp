#include "http/net_cookie_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "http/net_uri.h"

// The store's index is guarded by a many-readers, one-writer lock: a cookie header built while
// another thread stores or replaces cookies must only ever show whole cookies. Run under
// ThreadSanitizer (scripts/test) this also proves the lock covers every access to the index.

namespace quorvane {
namespace {

constexpr int kNames = 40;

// True when every part of the header is "c<n>=<value>" with n below kNames and a value of
// digits, or the seed cookie.
bool WellFormed(const std::string& header) {
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find("; ", start);
        if (end == std::string::npos) end = header.size();
        const std::string part = header.substr(start, end - start);
        start = end + 2;
        if (part == "seed=1") continue;
        const size_t equals = part.find('=');
        if (part.empty() || part[0] != 'c' || equals == std::string::npos || equals + 1 == part.size()) return false;
        if (std::stoi(part.substr(1, equals - 1)) >= kNames) return false;
        if (part.find_first_not_of("0123456789", equals + 1) != std::string::npos) return false;
    }
    return true;
}

TEST(CookieLockTest, ReadersSeeOnlyWholeCookiesWhileAWriterStoresAndReplacesThem) {
    TNetCookieManager manager;
    manager.AddServerCookie("seed=1; path=/", "127.0.0.1");
    const TNetURI uri("http://127.0.0.1/Set.cmd?cmd=GetVolt");

    std::atomic<bool> writing{true};
    std::atomic<int> malformed{0};
    std::atomic<int> reads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            // At least a few reads each, even if the writer is done before this thread starts.
            for (int i = 0; writing.load() || i < 5; ++i) {
                if (!WellFormed(manager.CookieHeaderFor(uri, false))) ++malformed;
                ++reads;
            }
        });
    }
    // New names first, then replacements of names already stored.
    for (int i = 0; i < 1500; ++i) {
        manager.AddServerCookie("c" + std::to_string(i % kNames) + "=" + std::to_string(i) + "; path=/", "127.0.0.1");
    }
    writing = false;
    for (auto& reader : readers) reader.join();

    EXPECT_EQ(malformed.load(), 0);
    EXPECT_GE(reads.load(), 15);
    const std::string last = manager.CookieHeaderFor(uri, false);
    EXPECT_TRUE(WellFormed(last)) << last;
    EXPECT_NE(last.find("c19=1499"), std::string::npos) << last;  // 1499 % 40
    EXPECT_NE(last.find("c39=1479"), std::string::npos) << last;
    EXPECT_EQ(manager.CookieCollection().Count(), kNames + 1);
}

}  // namespace
}  // namespace quorvane
