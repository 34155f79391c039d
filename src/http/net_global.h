#pragma once

#include <cstdint>
#include <string>

#include "rtl/date_time.h"

namespace quorvane {

// Internet date texts of HTTP headers and cookies, read into day-count date-times and written
// back. Reading never raises on bad text: what cannot be read becomes the zero date (0.0).

// 1 ("SUN") to 7 ("SAT") when the upper-cased text is exactly a day name, else 0.
int32_t DayNameIndex(const std::string& text);

// 1 ("JAN") to 12 ("DEC") when the upper-cased text is exactly a month name, else 0; a full
// month name does not match.
int32_t MonthNameIndex(const std::string& text);

// Reads the date and time at the start of `text` (RFC 1123, RFC 850 with two-digit years, or
// the form with the month first and the year last) as written, without any zone conversion.
// On return `text` holds what followed the time (the zone), left-trimmed. Unreadable text
// gives 0.0.
TDateTime ParseInternetDate(std::string& text);

// "+hhmm" / "-hhmm" as a signed fraction of a day; anything else (GMT, zone names) gives 0.
TDateTime ParseZoneOffset(const std::string& text);

// Local time minus UTC in force now, as a signed fraction of a day. Raises
// ENetFailedToRetreiveTimeZoneInfo when the platform has no zone information.
TDateTime LocalUtcOffset();

// A date text turned into local time: parsed, moved by its numeric zone (zone texts of four
// characters or fewer are ignored) and by the local offset.
TDateTime InternetDateToLocal(const std::string& text);

// "GMT" for a zero span when allowed, otherwise "+hhmm" or "-hhmm".
std::string FormatZoneOffset(TDateTime span, bool gmtAllowed);

// "Mon, 7 Dec 2026 09:05:03 +0900": the value written as it is (the caller passes local time)
// followed by the local zone offset.
std::string FormatInternetDate(TDateTime value, bool gmtAllowed);

// "Mon, 07 Dec 2026 09:05:03 GMT": the value written as it is.
std::string FormatHttpDate(TDateTime value);

}  // namespace quorvane
