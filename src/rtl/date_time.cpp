#include "rtl/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/clock.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace quorvane {

namespace {

// Days from 0001-01-01 to 1899-12-30 in the proleptic Gregorian calendar, so that a day count
// of this system plus this value counts days from the start of year 1 (which is day 0).
constexpr int64_t kEpochFromYearOne = 693593;
// 9999-12-31, counted the same way.
constexpr int64_t kLastDayFromYearOne = 3652058;

// Days since 0001-01-01 (day 0) of a valid date.
int64_t DaysFromYearOne(int32_t year, int32_t month, int32_t day) noexcept {
    static constexpr int32_t kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[month] + (day - 1);
    if (month > 2 && IsLeapYear(year)) ++days;
    return days;
}

void CivilFromDaysFromYearOne(int64_t days, int32_t& year, int32_t& month, int32_t& day) noexcept {
    // 400-year cycles of 146097 days, then centuries, four-year groups and single years.
    int64_t y = 1;
    y += (days / 146097) * 400;
    days %= 146097;
    int64_t centuries = days / 36524;
    if (centuries == 4) centuries = 3;  // last day of a leap century
    y += centuries * 100;
    days -= centuries * 36524;
    y += (days / 1461) * 4;
    days %= 1461;
    int64_t years = days / 365;
    if (years == 4) years = 3;  // last day of a leap year
    y += years;
    days -= years * 365;
    year = static_cast<int32_t>(y);
    month = 1;
    while (true) {
        const int32_t length = DaysInAMonth(year, month);
        if (days < length) break;
        days -= length;
        ++month;
    }
    day = static_cast<int32_t>(days) + 1;
}

// The value as whole days and milliseconds of the day, rounded to the millisecond the way
// the fields are read back; false when it lies outside years 1..9999.
bool SplitValue(TDateTime value, int64_t& days, int64_t& msOfDay) noexcept {
    if (!std::isfinite(value)) return false;
    constexpr double kLimit = static_cast<double>(kLastDayFromYearOne + 1);
    if (value > kLimit || value < -kLimit) return false;
    const auto totalMs = static_cast<int64_t>(std::llround(value * kMSecsPerDay));
    days = totalMs / kMSecsPerDay;  // truncates toward zero, like the whole part
    msOfDay = std::llabs(totalMs) % kMSecsPerDay;
    const int64_t fromYearOne = days + kEpochFromYearOne;
    return fromYearOne >= 0 && fromYearOne <= kLastDayFromYearOne;
}

}  // namespace

bool IsLeapYear(int32_t year) noexcept {
    return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int32_t DaysInAMonth(int32_t year, int32_t month) noexcept {
    static constexpr int32_t kLengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return (month == 2 && IsLeapYear(year)) ? 29 : kLengths[month];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) noexcept {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    if (day < 1 || day > DaysInAMonth(year, month)) return false;
    date = static_cast<double>(DaysFromYearOne(year, month, day) - kEpochFromYearOne);
    return true;
}

bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                   TDateTime& time) noexcept {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        return false;
    const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    time = static_cast<double>(ms) / kMSecsPerDay;
    return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date))
        throw EConvertError(Format("Invalid argument to date encode (%d-%d-%d)", year, month, day));
    return date;
}

TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
    TDateTime time = 0;
    if (!TryEncodeTime(hour, minute, second, millisecond, time))
        throw EConvertError(Format("Invalid argument to time encode (%d:%d:%d.%d)", hour, minute, second,
                                   millisecond));
    return time;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) noexcept {
    // Before the epoch the fraction counts from midnight forward while the whole part counts
    // back, so the time moves the value toward minus infinity there.
    return date < 0 ? date - time : date + time;
}

bool TryDecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept {
    int64_t days = 0;
    int64_t msOfDay = 0;
    if (!SplitValue(value, days, msOfDay)) {
        year = month = day = 0;
        return false;
    }
    CivilFromDaysFromYearOne(days + kEpochFromYearOne, year, month, day);
    return true;
}

void DecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept {
    TryDecodeDate(value, year, month, day);
}

void DecodeTime(TDateTime value, int32_t& hour, int32_t& minute, int32_t& second,
                int32_t& millisecond) noexcept {
    int64_t days = 0;
    int64_t msOfDay = 0;
    if (!SplitValue(value, days, msOfDay)) {
        hour = minute = second = millisecond = 0;
        return;
    }
    millisecond = static_cast<int32_t>(msOfDay % 1000);
    msOfDay /= 1000;
    second = static_cast<int32_t>(msOfDay % 60);
    msOfDay /= 60;
    minute = static_cast<int32_t>(msOfDay % 60);
    hour = static_cast<int32_t>(msOfDay / 60);
}

int32_t DayOfWeek(TDateTime value) noexcept {
    int64_t days = 0;
    int64_t msOfDay = 0;
    if (!SplitValue(value, days, msOfDay)) return 0;
    // 0001-01-01 was a Monday (2).
    return static_cast<int32_t>((days + kEpochFromYearOne + 1) % 7) + 1;
}

TDateTime Now() {
    const platform::LocalDateTime now = platform::CurrentLocalDateTime();
    TDateTime date = 0;
    TDateTime time = 0;
    if (!TryEncodeDate(now.Year, now.Month, now.Day, date)) return 0;
    if (!TryEncodeTime(now.Hour, now.Minute, now.Second, now.Millisecond, time)) return date;
    return ComposeDateTime(date, time);
}

TDateTime IncSecond(TDateTime value, int64_t seconds) noexcept {
    if (!std::isfinite(value)) return value;
    constexpr double kFirst = static_cast<double>(-kEpochFromYearOne);
    constexpr double kLast = static_cast<double>(kLastDayFromYearOne - kEpochFromYearOne) + 0.99999;
    const double result = value + static_cast<double>(seconds) / kSecsPerDay;
    if (result < kFirst) return kFirst;
    if (result > kLast) return kLast;
    return result;
}

int64_t WholeSecondsFromTo(TDateTime from, TDateTime to) noexcept {
    // Rounded to the millisecond first, so that an hour computed as a fraction of a day does
    // not come back as 3599.9999 seconds.
    const double spanMs = std::round((to - from) * kMSecsPerDay);
    if (std::isnan(spanMs)) return 0;
    // 2^63 as a double; anything at or past it saturates.
    constexpr double kEdge = 9223372036854775808.0;
    if (spanMs >= kEdge) return INT64_MAX;
    if (spanMs <= -kEdge) return INT64_MIN;
    return static_cast<int64_t>(spanMs) / 1000;
}

}  // namespace quorvane
