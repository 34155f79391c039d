#include "http/net_global.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/time_zone.h"
#include "rtl/date_time.h"
#include "rtl/format.h"
#include "tcp/net_exception.h"

namespace quorvane {
namespace {

using platform::ScopedTimeZone;
using platform::TimeZoneInformation;

// "YYYY-MM-DD hh:mm:ss" of a value, or "zero" for the zero date, so failures read plainly.
std::string Stamp(TDateTime value) {
    if (value == 0) return "zero";
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    return Format("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", y, mo, d, h, mi, s);
}

TDateTime At(int32_t y, int32_t mo, int32_t d, int32_t h = 0, int32_t mi = 0, int32_t s = 0) {
    return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, 0));
}

TEST(NetGlobalNames, DayAndMonthNamesMatchThreeLettersInAnyCase) {
    EXPECT_EQ(DayNameIndex("sun"), 1);
    EXPECT_EQ(DayNameIndex("SAT"), 7);
    EXPECT_EQ(DayNameIndex("Wed"), 4);
    EXPECT_EQ(DayNameIndex("Sunday"), 0);
    EXPECT_EQ(DayNameIndex("Su"), 0);
    EXPECT_EQ(DayNameIndex(""), 0);
    EXPECT_EQ(MonthNameIndex("jan"), 1);
    EXPECT_EQ(MonthNameIndex("DEC"), 12);
    EXPECT_EQ(MonthNameIndex("January"), 0);
    EXPECT_EQ(MonthNameIndex("Mai"), 0);
}

struct DateCase {
    const char* text;
    const char* stamp;  // as read, without zone conversion
    const char* rest;   // what is handed back
};

// Readable test names: the text itself.
void PrintTo(const DateCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseInternetDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ParseInternetDateTest, ReadsDateAndHandsBackTheZone) {
    std::string text = GetParam().text;
    EXPECT_EQ(Stamp(ParseInternetDate(text)), GetParam().stamp) << GetParam().text;
    if (std::string(GetParam().stamp) != "zero") {
        EXPECT_EQ(text, GetParam().rest) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseInternetDateTest,
    ::testing::Values(
        // RFC 1123, RFC 850 and the month-first form with the year after the time.
        DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
        DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
        DateCase{"Sun Nov  6 08:49:37 1994", "1994-11-06 08:49:37", ""},
        DateCase{"  sun, 06 nov 1994 08:49:37 gmt  ", "1994-11-06 08:49:37", "gmt"},
        // Day name glued to the day, or without its comma.
        DateCase{"Sun,06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
        DateCase{"Sun 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
        DateCase{"06-Nov-94 08:49:37 +0900", "1994-11-06 08:49:37", "+0900"},
        DateCase{"06 Nov 1994 08:49:37   -0800 (PST)", "1994-11-06 08:49:37", "-0800 (PST)"},
        // Two-digit years pivot at 80; three digits stay as written.
        DateCase{"Thu, 01-Jan-79 00:00:01 GMT", "2079-01-01 00:00:01", "GMT"},
        DateCase{"Tue, 01-Jan-80 00:00:01 GMT", "1980-01-01 00:00:01", "GMT"},
        DateCase{"01 Jan 99", "1999-01-01 00:00:00", ""},
        DateCase{"01 Jan 00", "2000-01-01 00:00:00", ""},
        DateCase{"01 Jan 100 10:00:00", "0100-01-01 10:00:00", ""},
        // A year written as 1900 reads as missing: the rest of the line is tried instead.
        DateCase{"01 Jan 1900 10:00:00 GMT", "1900-01-01 00:00:00", "1900"},
        DateCase{"Jan 02 10:11:12 2021", "2021-01-02 10:11:12", ""},
        // No time gives midnight; short time fields are read as numbers.
        DateCase{"6 Nov 1994 8:5", "1994-11-06 08:05:00", ""},
        DateCase{"29 Feb 2020", "2020-02-29 00:00:00", ""},
        // Unreadable texts give the zero date.
        DateCase{"", "zero", ""}, DateCase{"   ", "zero", ""}, DateCase{"garbage", "zero", ""},
        DateCase{"31 Apr 2020", "zero", ""}, DateCase{"29 Feb 2021", "zero", ""},
        DateCase{"01 Foo 2020", "zero", ""}, DateCase{"06 November 1994", "zero", ""},
        DateCase{"01 Jan 2020 25:00:00", "zero", ""}, DateCase{"01 Jan 2020 10:60:00", "zero", ""},
        DateCase{"01 Jan 2020 -1:00:00", "zero", ""}, DateCase{"32 Jan 2020", "zero", ""},
        DateCase{"01 Jan -5", "zero", ""}, DateCase{"01 Jan 99999999999999999999", "1900-01-01 00:00:00", "99999999999999999999"},
        DateCase{"Sun,", "zero", ""}, DateCase{"-", "zero", ""}, DateCase{"::::", "zero", ""}));

TEST(ParseInternetDate, EmbeddedNulAndHugeFieldsNeverFail) {
    std::string withNul("01 Jan 2020\0 10:00:00", 21);
    EXPECT_NO_THROW(ParseInternetDate(withNul));
    std::string huge = "01 Jan 2020 " + std::string(100000, '9') + ":" + std::string(100000, '9');
    // Fields too large for a number read as their default (0), as any other non-number does.
    EXPECT_EQ(Stamp(ParseInternetDate(huge)), "2020-01-01 00:00:00");
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    EXPECT_NO_THROW(ParseInternetDate(bytes));
}

TEST(ParseZoneOffset, ReadsSignedHoursAndMinutesOnly) {
    EXPECT_DOUBLE_EQ(ParseZoneOffset("+0900"), 9.0 / 24);
    EXPECT_DOUBLE_EQ(ParseZoneOffset("  -0130 (XYZ)"), -1.5 / 24);
    EXPECT_DOUBLE_EQ(ParseZoneOffset("+0530"), 5.5 / 24);
    for (const char* zero : {"GMT", "PST", "UTC+0900", "+09", "+09:00", "+2500", "+0960", "+-100", "", "+"})
        EXPECT_EQ(ParseZoneOffset(zero), 0.0) << zero;
}

TEST(LocalUtcOffset, CombinesBiasesOfTheStateInForce) {
    struct Case {
        uint32_t state;
        TimeZoneInformation info;
        double minutes;
    };
    const Case cases[] = {
        {platform::kTimeZoneIdUnknown, {-540, 0, 0}, 540},
        {platform::kTimeZoneIdUnknown, {-540, 7, -60}, 540},  // no state: base bias alone
        {platform::kTimeZoneIdStandard, {300, 0, -60}, -300},
        {platform::kTimeZoneIdDaylight, {300, 0, -60}, -240},
        {platform::kTimeZoneIdStandard, {-330, -15, -60}, 345},
        {platform::kTimeZoneIdDaylight, {0, 0, -60}, 60},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.state, c.info);
        EXPECT_DOUBLE_EQ(LocalUtcOffset(), c.minutes / kMinsPerDay) << c.state << " " << c.info.Bias;
    }
}

TEST(LocalUtcOffset, FailedOrUnexpectedZoneQueryRaises) {
    {
        auto zone = ScopedTimeZone::Failing();
        try {
            LocalUtcOffset();
            FAIL() << "no exception";
        } catch (const ENetFailedToRetreiveTimeZoneInfo& e) {
            EXPECT_EQ(e.Message(), "Failed attempting to retrieve time zone information.");
        }
        EXPECT_THROW(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"), ENetFailedToRetreiveTimeZoneInfo);
        EXPECT_THROW(FormatInternetDate(At(2026, 12, 7), false), ENetFailedToRetreiveTimeZoneInfo);
        // The HTTP form names no local zone and needs no zone data.
        EXPECT_EQ(FormatHttpDate(At(2026, 12, 7)), "Mon, 07 Dec 2026 00:00:00 GMT");
    }
    ScopedTimeZone odd(7u, TimeZoneInformation{});
    EXPECT_THROW(LocalUtcOffset(), ENetFailedToRetreiveTimeZoneInfo);
}

struct LocalCase {
    int32_t zoneMinutes;
    const char* text;
    const char* local;
};

void PrintTo(const LocalCase& c, std::ostream* os) { *os << c.zoneMinutes << " min, " << c.text; }

class InternetDateToLocalTest : public ::testing::TestWithParam<LocalCase> {};

TEST_P(InternetDateToLocalTest, MovesByNumericZoneAndLocalOffset) {
    ScopedTimeZone zone(GetParam().zoneMinutes);
    EXPECT_EQ(Stamp(InternetDateToLocal(GetParam().text)), GetParam().local) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Zones, InternetDateToLocalTest,
    ::testing::Values(LocalCase{540, "Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 17:49:37"},
                      LocalCase{540, "Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06 17:49:37"},
                      LocalCase{540, "Sun, 06 Nov 1994 08:49:37 +0530", "1994-11-06 12:19:37"},
                      LocalCase{540, "Sun, 06 Nov 1994 08:49:37 -0800", "1994-11-07 01:49:37"},
                      // Named zones count as UTC; zone texts of four characters or fewer are ignored.
                      LocalCase{540, "Sun, 06 Nov 1994 08:49:37 EST5EDT", "1994-11-06 17:49:37"},
                      LocalCase{540, "Sun, 06 Nov 1994 08:49:37 +053", "1994-11-06 17:49:37"},
                      LocalCase{-300, "Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 03:49:37"},
                      LocalCase{-300, "Sun, 06 Nov 1994 02:00:00 +0100", "1994-11-05 20:00:00"},
                      LocalCase{0, "Thu, 01-Jan-70 00:00:00 GMT", "2070-01-01 00:00:00"},
                      LocalCase{0, "Sun Nov  6 08:49:37 1994", "1994-11-06 08:49:37"}));

TEST(InternetDateToLocal, UnreadableDateGivesTheLocalOffsetAlone) {
    ScopedTimeZone zone(540);
    EXPECT_DOUBLE_EQ(InternetDateToLocal(""), 9.0 / 24);
    EXPECT_DOUBLE_EQ(InternetDateToLocal("not a date at all"), 9.0 / 24);
}

TEST(FormatZoneOffset, SignHoursAndMinutes) {
    EXPECT_EQ(FormatZoneOffset(0, true), "GMT");
    EXPECT_EQ(FormatZoneOffset(0, false), "+0000");
    EXPECT_EQ(FormatZoneOffset(9.0 / 24, true), "+0900");
    EXPECT_EQ(FormatZoneOffset(-5.0 / 24, false), "-0500");
    EXPECT_EQ(FormatZoneOffset(5.75 / 24, false), "+0545");
    EXPECT_EQ(FormatZoneOffset(-9.5 / 24, false), "-0930");
}

TEST(FormatInternetDate, WritesLocalValueWithLocalZone) {
    {
        ScopedTimeZone zone(540);
        EXPECT_EQ(FormatInternetDate(At(2026, 12, 7, 9, 5, 3), false), "Mon, 7 Dec 2026 09:05:03 +0900");
        EXPECT_EQ(FormatInternetDate(At(1994, 11, 6, 23, 59, 59), true), "Sun, 6 Nov 1994 23:59:59 +0900");
    }
    {
        ScopedTimeZone zone(0);
        EXPECT_EQ(FormatInternetDate(At(2000, 2, 29), true), "Tue, 29 Feb 2000 00:00:00 GMT");
        EXPECT_EQ(FormatInternetDate(At(2000, 2, 29), false), "Tue, 29 Feb 2000 00:00:00 +0000");
    }
    ScopedTimeZone zone(-480);
    EXPECT_EQ(FormatInternetDate(0, false), "Sat, 30 Dec 1899 00:00:00 -0800");
}

TEST(FormatHttpDate, TwoDigitDayFourDigitYearAndGmt) {
    EXPECT_EQ(FormatHttpDate(At(2026, 12, 7, 9, 5, 3)), "Mon, 07 Dec 2026 09:05:03 GMT");
    EXPECT_EQ(FormatHttpDate(At(999, 1, 1)).substr(4), " 01 Jan 0999 00:00:00 GMT");
}

TEST(FormatInternetDate, FormattedDatesReadBackToTheSameSecondInEveryZone) {
    const TDateTime values[] = {At(2026, 12, 7, 9, 5, 3), At(1980, 1, 1), At(2079, 12, 31, 23, 59, 59),
                                At(2000, 2, 29, 12, 0, 0), At(1901, 3, 1, 1, 2, 3)};
    for (int32_t minutes : {0, 540, -480, 330, -210, 765}) {
        ScopedTimeZone zone(minutes);
        for (TDateTime value : values) {
            const std::string text = FormatInternetDate(value, minutes == 0);
            EXPECT_EQ(Stamp(InternetDateToLocal(text)), Stamp(value)) << text << " zone " << minutes;
            std::string httpText = FormatHttpDate(value);
            EXPECT_EQ(Stamp(ParseInternetDate(httpText)), Stamp(value)) << httpText;
        }
    }
}

}  // namespace
}  // namespace quorvane
