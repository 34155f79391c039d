#include "platform/time_zone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

namespace quorvane::platform {
namespace {

// Sets TZ to a POSIX rule (no zone database needed) for the scope and restores it after.
class ScopedTzVariable {
public:
    explicit ScopedTzVariable(const char* rule) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~ScopedTzVariable() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

int32_t LocalMinusUtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int32_t>(local.tm_gmtoff / 60);
}

int32_t BiasInForce(uint32_t state, const TimeZoneInformation& info) {
    switch (state) {
        case kTimeZoneIdStandard: return info.Bias + info.StandardBias;
        case kTimeZoneIdDaylight: return info.Bias + info.DaylightBias;
        default: return info.Bias;
    }
}

TEST(GetTimeZoneInformation, ZonesWithoutDaylightSavingHaveNoState) {
    for (const auto& [rule, bias] : {std::pair{"UTC0", 0}, std::pair{"JST-9", -540}, std::pair{"IST-5:30", -330},
                                     std::pair{"XST8", 480}}) {
        ScopedTzVariable tz(rule);
        TimeZoneInformation info;
        EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdUnknown) << rule;
        EXPECT_EQ(info.Bias, bias) << rule;
    }
}

TEST(GetTimeZoneInformation, ZonesWithDaylightSavingReportTheStateInForce) {
    // One northern and one southern rule: whatever today's date, the base bias is the standard
    // one and the parts add up to the offset the C library applies now.
    for (const auto& [rule, standard] : {std::pair{"CET-1CEST,M3.5.0,M10.5.0/3", -60},
                                         std::pair{"AEST-10AEDT,M10.1.0,M4.1.0/3", -600},
                                         std::pair{"EST5EDT,M3.2.0,M11.1.0", 300}}) {
        ScopedTzVariable tz(rule);
        TimeZoneInformation info;
        const uint32_t state = GetTimeZoneInformation(info);
        ASSERT_TRUE(state == kTimeZoneIdStandard || state == kTimeZoneIdDaylight) << rule;
        EXPECT_EQ(info.Bias, standard) << rule;
        EXPECT_EQ(BiasInForce(state, info), -LocalMinusUtcNow()) << rule;
        if (state == kTimeZoneIdDaylight) {
            EXPECT_EQ(info.DaylightBias, -60) << rule;
        }
    }
}

TEST(GetTimeZoneInformation, TestHooksFixOrFailTheQuery) {
    TimeZoneInformation info;
    {
        ScopedTimeZone zone(kTimeZoneIdDaylight, TimeZoneInformation{300, 0, -60});
        EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdDaylight);
        EXPECT_EQ(info.Bias + info.DaylightBias, 240);
    }
    {
        ScopedTimeZone zone(330);
        EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdUnknown);
        EXPECT_EQ(info.Bias, -330);
    }
    {
        auto failing = ScopedTimeZone::Failing();
        EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdInvalid);
    }
    ScopedTzVariable tz("JST-9");
    EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdUnknown);
    EXPECT_EQ(info.Bias, -540);
}

}  // namespace
}  // namespace quorvane::platform
