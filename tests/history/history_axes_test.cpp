#include "history/history_axes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace quorvane {
namespace {

using namespace std::chrono;

int64_t Utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0) {
    const sys_days day{year{y} / month{mo} / d};
    return duration_cast<milliseconds>(day.time_since_epoch() + hours{h} + minutes{mi} + seconds{s}).count();
}

// Central European time: +1 h, +2 h from the last Sunday of March 2025 01:00 UTC on.
int32_t Berlin(int64_t ms) { return ms < Utc(2025, 3, 30, 1) ? 60 : 120; }
int32_t Greenwich(int64_t) { return 0; }

struct TimeCase {
    std::string Name;
    int64_t FromMs, ToMs;
    double WidthPx;
    TTimeUnit Unit;
    int32_t Count;
    std::vector<TTimeTick> Ticks;  // all of them, or the first few when Total says more
    size_t Total = 0;
    int32_t (*Offset)(int64_t) = Greenwich;
};

void PrintTo(const TimeCase& c, std::ostream* out) { *out << c.Name; }

class TimeTicksTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTicksTest, FallOnRoundLocalTimesAsFineAsTheWidthAllows) {
    const TimeCase& c = GetParam();
    const TTimeTicks ticks = TimeTicks(
        c.FromMs, c.ToMs, c.WidthPx, [](TTimeUnit) { return 60.0; }, c.Offset);
    EXPECT_EQ(ticks.Unit, c.Unit);
    EXPECT_EQ(ticks.Count, c.Count);
    ASSERT_EQ(ticks.Ticks.size(), c.Total ? c.Total : c.Ticks.size());
    const std::vector<TTimeTick> first(ticks.Ticks.begin(), ticks.Ticks.begin() + static_cast<long>(c.Ticks.size()));
    EXPECT_EQ(first, c.Ticks);
}

INSTANTIATE_TEST_SUITE_P(
    SpansAndWidths, TimeTicksTest,
    ::testing::Values(
        TimeCase{"AMinuteWideGetsTenSeconds",
                 Utc(2025, 6, 1, 12, 0, 3),
                 Utc(2025, 6, 1, 12, 1, 3),
                 600,
                 TTimeUnit::Second,
                 10,
                 {{Utc(2025, 6, 1, 12, 0, 10), true},
                  {Utc(2025, 6, 1, 12, 0, 20), false},
                  {Utc(2025, 6, 1, 12, 0, 30), false},
                  {Utc(2025, 6, 1, 12, 0, 40), false},
                  {Utc(2025, 6, 1, 12, 0, 50), false},
                  {Utc(2025, 6, 1, 12, 1, 0), false}}},
        // The History page's hour: whole ten minutes, not quarters of the range.
        TimeCase{"AnHourOnThePageGetsTenMinutes",
                 Utc(2025, 6, 1, 0, 21, 38),
                 Utc(2025, 6, 1, 1, 21, 38),
                 380,
                 TTimeUnit::Minute,
                 10,
                 {{Utc(2025, 6, 1, 0, 30), true}, {Utc(2025, 6, 1, 0, 40), false}},
                 6},
        TimeCase{"ADayAcrossMidnightMarksTheNewDate",
                 Utc(2025, 6, 1, 12, 30),
                 Utc(2025, 6, 2, 12, 30),
                 1600,
                 TTimeUnit::Hour,
                 1,
                 {{Utc(2025, 6, 1, 13), true}, {Utc(2025, 6, 1, 14), false}},
                 24},
        TimeCase{"AWeekOnThePageGetsEveryOtherDayOfTheMonth",
                 Utc(2025, 6, 28, 9),
                 Utc(2025, 7, 5, 9),
                 380,
                 TTimeUnit::Day,
                 2,
                 // The 29th of a 30-day month is its last step; the 1st follows.
                 {{Utc(2025, 6, 29), true}, {Utc(2025, 7, 1), true}, {Utc(2025, 7, 3), true}, {Utc(2025, 7, 5), true}}},
        TimeCase{"FourYearsGetEveryOtherMonth",
                 Utc(2021, 12, 15),
                 Utc(2025, 12, 15),
                 1600,
                 TTimeUnit::Month,
                 2,
                 {{Utc(2022, 1, 1), true}, {Utc(2022, 3, 1), true}},
                 24},
        TimeCase{"ACenturyGetsDecades",
                 Utc(1950, 1, 1),
                 Utc(2050, 1, 1),
                 1000,
                 TTimeUnit::Year,
                 10,
                 {{Utc(1950, 1, 1), true}, {Utc(1960, 1, 1), true}},
                 11},
        // Local hours across the spring change: 02:00 never happens, so it has no tick.
        TimeCase{"DaylightSavingSkipsTheLostHour",
                 Utc(2025, 3, 29, 22),
                 Utc(2025, 3, 30, 4),
                 600,
                 TTimeUnit::Hour,
                 1,
                 {{Utc(2025, 3, 29, 22), true},
                  {Utc(2025, 3, 29, 23), true},
                  {Utc(2025, 3, 30, 0), false},
                  {Utc(2025, 3, 30, 1), false},
                  {Utc(2025, 3, 30, 2), false},
                  {Utc(2025, 3, 30, 3), false},
                  {Utc(2025, 3, 30, 4), false}},
                 0,
                 Berlin}),
    [](const ::testing::TestParamInfo<TimeCase>& info) { return info.param.Name; });

TEST(TimeTicksTest, WiderLabelsGetCoarserSteps) {
    auto spacing = [](TTimeUnit unit) { return unit == TTimeUnit::Second ? 200.0 : 60.0; };
    EXPECT_EQ(TimeTicks(0, 60'000, 600, spacing, Greenwich).Unit, TTimeUnit::Second);
    EXPECT_EQ(TimeTicks(0, 60'000, 600, spacing, Greenwich).Count, 30);
    EXPECT_TRUE(TimeTicks(0, 0, 600, spacing, Greenwich).Ticks.empty());
}

struct ValueCase {
    std::string Name;
    std::optional<double> Low, High;
    bool NonNegative;
    std::vector<double> Ticks;
    int32_t Decimals;
};

void PrintTo(const ValueCase& c, std::ostream* out) { *out << c.Name; }

class ValueTicksTest : public ::testing::TestWithParam<ValueCase> {};

// 300 pixels with ticks at least 40 apart: seven steps at most.
TEST_P(ValueTicksTest, AreRoundStepsOverThePaddedData) {
    const ValueCase& c = GetParam();
    const TValueTicks ticks = ValueTicks(c.Low, c.High, 300, 40, c.NonNegative);
    EXPECT_EQ(ticks.Ticks, c.Ticks);
    EXPECT_EQ(ticks.Decimals, c.Decimals);
    EXPECT_EQ(ticks.Low, c.Ticks.front());
    EXPECT_EQ(ticks.High, c.Ticks.back());
}

INSTANTIATE_TEST_SUITE_P(
    DataRanges, ValueTicksTest,
    ::testing::Values(ValueCase{"FanSpeeds", 1800, 2600, true, {1600, 1800, 2000, 2200, 2400, 2600, 2800}, 0},
                      ValueCase{"StoppedFansStayAtZero", 0, 0, true, {0, 0.2, 0.4, 0.6, 0.8, 1.0}, 1},
                      ValueCase{
                          "ANegativeFanValueIsShown", -40, 2600, true, {-500, 0, 500, 1000, 1500, 2000, 2500, 3000}, 0},
                      ValueCase{"SteadyVoltage", 12, 12, false, {11, 11.5, 12, 12.5, 13}, 1},
                      ValueCase{"TemperaturesBelowZero", -7.5, 3.2, false, {-10, -8, -6, -4, -2, 0, 2, 4}, 0},
                      ValueCase{"NoData", std::nullopt, std::nullopt, false, {0, 0.2, 0.4, 0.6, 0.8, 1.0}, 1}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace quorvane
