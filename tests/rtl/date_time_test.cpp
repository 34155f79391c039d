#include "rtl/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include "platform/clock.h"
#include "rtl/exception.h"

namespace quorvane {
namespace {

struct CalendarCase {
    int32_t year, month, day;
    double value;
    int32_t dayOfWeek;
};

void PrintTo(const CalendarCase& c, std::ostream* os) { *os << c.year << '-' << c.month << '-' << c.day; }

class CalendarTest : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(CalendarTest, EncodesDecodesAndNamesTheWeekday) {
    const CalendarCase& c = GetParam();
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.value);
    int32_t y = 0, m = 0, d = 0;
    EXPECT_TRUE(TryDecodeDate(c.value, y, m, d));
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
    EXPECT_EQ(DayOfWeek(c.value), c.dayOfWeek);
}

INSTANTIATE_TEST_SUITE_P(KnownDays, CalendarTest,
                         ::testing::Values(CalendarCase{1899, 12, 30, 0, 7}, CalendarCase{1899, 12, 31, 1, 1},
                                           CalendarCase{1900, 1, 1, 2, 2}, CalendarCase{1900, 3, 1, 61, 5},
                                           CalendarCase{1899, 12, 29, -1, 6}, CalendarCase{1970, 1, 1, 25569, 5},
                                           CalendarCase{2000, 2, 29, 36585, 3}, CalendarCase{2026, 12, 7, 46363, 2},
                                           CalendarCase{1, 1, 1, -693593, 2}, CalendarCase{9999, 12, 31, 2958465, 6}));

TEST(DateTime, ImpossibleDatesAndTimesAreRejected) {
    TDateTime value = 123;
    EXPECT_FALSE(TryEncodeDate(2021, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(2020, 4, 31, value));
    EXPECT_FALSE(TryEncodeDate(2020, 0, 1, value));
    EXPECT_FALSE(TryEncodeDate(2020, 13, 1, value));
    EXPECT_FALSE(TryEncodeDate(2020, 1, 0, value));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, value));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, value));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, value));
    EXPECT_EQ(value, 123);
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, value));
    EXPECT_THROW(EncodeDate(2021, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
}

TEST(DateTime, TimeOfDayRoundsToTheMillisecond) {
    int32_t h = 0, m = 0, s = 0, ms = 0;
    DecodeTime(EncodeTime(9, 5, 3, 0), h, m, s, ms);
    EXPECT_EQ((h * 100 + m) * 100 + s, 90503);
    EXPECT_EQ(ms, 0);
    DecodeTime(EncodeTime(23, 59, 59, 999), h, m, s, ms);
    EXPECT_EQ((h * 100 + m) * 100 + s, 235959);
    EXPECT_EQ(ms, 999);
    // A fraction a hair below midnight rounds up into the next day.
    int32_t y = 0, mo = 0, d = 0;
    DecodeDate(1.0 - 1e-12, y, mo, d);
    EXPECT_EQ(d, 31);
}

TEST(DateTime, BeforeTheEpochTheTimeStillCountsForward) {
    const TDateTime value = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
    EXPECT_DOUBLE_EQ(value, -1.25);
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 6);
    EXPECT_DOUBLE_EQ(ComposeDateTime(2, 0.5), 2.5);
}

TEST(DateTime, ValuesOutsideTheCalendarDecodeToZeros) {
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e300, 2958466.5, -693594.0}) {
        int32_t y = 1, m = 1, d = 1, h = 1, mi = 1, s = 1, ms = 1;
        EXPECT_FALSE(TryDecodeDate(bad, y, m, d)) << bad;
        DecodeTime(bad, h, mi, s, ms);
        EXPECT_EQ(y + m + d + h + mi + s + ms, 0) << bad;
        EXPECT_EQ(DayOfWeek(bad), 0) << bad;
    }
}

TEST(DateTime, SecondArithmeticSaturates) {
    const TDateTime start = EncodeDate(2026, 12, 7);
    EXPECT_EQ(WholeSecondsFromTo(start, IncSecond(start, 3600)), 3600);
    EXPECT_EQ(WholeSecondsFromTo(IncSecond(start, 3600), start), -3600);
    EXPECT_EQ(WholeSecondsFromTo(start, start + 1.5 / kSecsPerDay), 1);
    EXPECT_EQ(WholeSecondsFromTo(0, 1e300), INT64_MAX);
    EXPECT_EQ(WholeSecondsFromTo(0, -1e300), INT64_MIN);
    EXPECT_EQ(WholeSecondsFromTo(0, std::nan("")), 0);
    int32_t y = 0, m = 0, d = 0;
    DecodeDate(IncSecond(start, INT64_MAX), y, m, d);
    EXPECT_EQ(y, 9999);
    DecodeDate(IncSecond(start, INT64_MIN), y, m, d);
    EXPECT_EQ(y, 1);
}

TEST(DateTime, NowFollowsThePlatformClock) {
    {
        platform::ScopedClock clock(platform::LocalDateTime{2026, 12, 7, 9, 5, 3, 250});
        EXPECT_DOUBLE_EQ(Now(), ComposeDateTime(EncodeDate(2026, 12, 7), EncodeTime(9, 5, 3, 250)));
    }
    int32_t y = 0, m = 0, d = 0;
    DecodeDate(Now(), y, m, d);
    EXPECT_GE(y, 2024);
}

}  // namespace
}  // namespace quorvane
