#pragma once

#include <cstdint>

namespace quorvane {

// The system's date-time: days since 30 December 1899 00:00, the fraction being the time of
// day. 0.0 is the "not set" value. Before the epoch the whole part counts days back while the
// fraction still counts forward from midnight (-1.25 is 29 December 1899 06:00).
using TDateTime = double;

constexpr int32_t kHoursPerDay = 24;
constexpr int32_t kMinsPerDay = kHoursPerDay * 60;
constexpr int32_t kSecsPerDay = kMinsPerDay * 60;
constexpr int32_t kMSecsPerDay = kSecsPerDay * 1000;

bool IsLeapYear(int32_t year) noexcept;
// 0 for a month outside 1..12.
int32_t DaysInAMonth(int32_t year, int32_t month) noexcept;

// Years 1..9999. The Try forms return false for an impossible date or time and leave the
// result untouched; the plain forms raise EConvertError instead.
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) noexcept;
bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                   TDateTime& time) noexcept;
TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond);

// Joins a date and a time of day, respecting the sign convention above.
TDateTime ComposeDateTime(TDateTime date, TDateTime time) noexcept;

// Splits a value, rounded to the millisecond, into calendar fields. A value outside years
// 1..9999 (or not a number at all) decodes to all zeros and TryDecode... returns false.
bool TryDecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept;
void DecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept;
void DecodeTime(TDateTime value, int32_t& hour, int32_t& minute, int32_t& second,
                int32_t& millisecond) noexcept;

// 1 for Sunday through 7 for Saturday; 0 for a value that does not decode.
int32_t DayOfWeek(TDateTime value) noexcept;

// The current local date and time (platform clock, to the millisecond).
TDateTime Now();

// Adds whole seconds; a count that would leave years 1..9999 is clamped at that edge.
TDateTime IncSecond(TDateTime value, int64_t seconds) noexcept;

// Whole seconds from `from` to `to`, truncated toward zero: negative when `to` lies before
// `from`. Saturates at the 64-bit limits; 0 when either value is not a number.
int64_t WholeSecondsFromTo(TDateTime from, TDateTime to) noexcept;

}  // namespace quorvane
