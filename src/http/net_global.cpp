#include "http/net_global.h"

#include <cmath>

#include "http/net_number_text.h"
#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "platform/time_zone.h"
#include "rtl/format.h"
#include "tcp/net_exception.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kDayNamesUpper[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr const char* kMonthNamesUpper[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Up to `count` bytes from 0-based `start`; empty past the end.
std::string Copy(const std::string& text, size_t start, size_t count) {
    return start >= text.size() ? std::string() : text.substr(start, count);
}

// The steps after the trim; false wherever the text cannot be read.
bool TryParseInternetDate(std::string& text, TDateTime& result) {
    if (DayNameIndex(Copy(text, 0, 3)) > 0) {
        // "Sun,06 Nov ..." has its day glued to the comma; give it the missing space.
        if (text.size() > 4 && text[3] == ',' && text[4] != ' ') text.insert(text.begin() + 4, ' ');
        TakeToken(text, " ");
        text = TrimLeft(text);
    }

    const size_t firstDash = text.find('-');
    const size_t firstSpace = text.find(' ');
    std::string delimiter = " ";
    if (firstDash != std::string::npos && firstDash != 0 && firstSpace != std::string::npos &&
        firstDash < firstSpace)
        delimiter = "-";

    int32_t day = 1;
    int32_t month = 0;
    auto readDay = [&] {
        day = NetTextToInt32Def(TakeToken(text, delimiter), 1);
        text = TrimLeft(text);
    };
    auto readMonth = [&] {
        month = MonthNameIndex(TakeToken(text, delimiter));
        text = TrimLeft(text);
    };
    if (MonthNameIndex(TakeToken(text, delimiter, false)) > 0) {
        readMonth();
        readDay();
    } else {
        readDay();
        readMonth();
    }

    std::string yearToken = TakeToken(text, " ");
    int32_t year = NetTextToInt32Def(yearToken, 1900);
    if (year == 1900) {
        // The year may stand at the end, after the time: "Nov 6 08:49:37 1994". What was
        // taken for the year is then the time.
        year = NetTextToInt32Def(text, 1900);
        text = yearToken;
    }
    // Years are held as unsigned 16-bit numbers; two-digit years pivot at 80.
    int32_t fullYear = static_cast<uint16_t>(year);
    if (fullYear < 80)
        fullYear += 2000;
    else if (fullYear < 100)
        fullYear += 1900;

    TDateTime date = 0;
    if (!TryEncodeDate(fullYear, month, day, date)) return false;

    if (text.find(':') != std::string::npos) {
        std::string timeText = TakeToken(text, " ");
        const int32_t hours = NetTextToInt32Def(TakeToken(timeText, ":"), 0);
        const int32_t minutes = NetTextToInt32Def(TakeToken(timeText, ":"), 0);
        const int32_t seconds = NetTextToInt32Def(TakeToken(timeText, " "), 0);
        TDateTime time = 0;
        if (!TryEncodeTime(hours, minutes, seconds, 0, time)) return false;
        date = ComposeDateTime(date, time);
    }
    text = TrimLeft(text);
    result = date;
    return true;
}

std::string TimeOfDayText(TDateTime value) {
    int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    DecodeTime(value, hour, minute, second, millisecond);
    return Format("%.2d:%.2d:%.2d", hour, minute, second);
}

// Calendar fields of a value for output; a value that does not decode writes as the zero date
// rather than indexing the name tables with 0.
void FieldsForOutput(TDateTime& value, int32_t& year, int32_t& month, int32_t& day, int32_t& dayOfWeek) {
    if (!TryDecodeDate(value, year, month, day)) {
        value = 0;
        DecodeDate(value, year, month, day);
    }
    dayOfWeek = DayOfWeek(value);
}

}  // namespace

int32_t DayNameIndex(const std::string& text) {
    const std::string upper = platform::AnsiUpperCase(text);
    for (int32_t i = 0; i < 7; ++i)
        if (upper == kDayNamesUpper[i]) return i + 1;
    return 0;
}

int32_t MonthNameIndex(const std::string& text) {
    const std::string upper = platform::AnsiUpperCase(text);
    for (int32_t i = 0; i < 12; ++i)
        if (upper == kMonthNamesUpper[i]) return i + 1;
    return 0;
}

TDateTime ParseInternetDate(std::string& text) {
    text = Trim(text);
    if (text.empty()) return 0;
    TDateTime result = 0;
    try {
        if (!TryParseInternetDate(text, result)) return 0;
    } catch (const std::exception&) {
        // Whatever goes wrong while reading a received date, the date is just unknown.
        return 0;
    }
    return result;
}

TDateTime ParseZoneOffset(const std::string& text) {
    const std::string zone = Copy(Trim(text), 0, 5);
    if (zone.empty() || (zone[0] != '+' && zone[0] != '-')) return 0;
    int32_t hours = 0;
    int32_t minutes = 0;
    if (!NetTryTextToInt32(Copy(zone, 1, 2), hours) || !NetTryTextToInt32(Copy(zone, 3, 2), minutes)) return 0;
    TDateTime span = 0;
    if (!TryEncodeTime(hours, minutes, 0, 0, span)) return 0;
    return zone[0] == '-' ? -span : span;
}

TDateTime LocalUtcOffset() {
    platform::TimeZoneInformation info;
    int32_t bias = 0;
    switch (platform::GetTimeZoneInformation(info)) {
        case platform::kTimeZoneIdUnknown:
            bias = info.Bias;
            break;
        case platform::kTimeZoneIdStandard:
            bias = info.Bias + info.StandardBias;
            break;
        case platform::kTimeZoneIdDaylight:
            bias = info.Bias + info.DaylightBias;
            break;
        default:
            throw ENetFailedToRetreiveTimeZoneInfo("Failed attempting to retrieve time zone information.");
    }
    // The bias is UTC minus local time; the span runs the other way.
    return static_cast<double>(-static_cast<int64_t>(bias)) / kMinsPerDay;
}

TDateTime InternetDateToLocal(const std::string& text) {
    std::string rest = text;
    const TDateTime date = ParseInternetDate(rest);
    const TDateTime zone = rest.size() > 4 ? ParseZoneOffset(rest) : 0.0;
    return date - zone + LocalUtcOffset();
}

std::string FormatZoneOffset(TDateTime span, bool gmtAllowed) {
    if (span == 0 && gmtAllowed) return "GMT";
    int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    DecodeTime(std::fabs(span), hour, minute, second, millisecond);
    return Format("%c%.2d%.2d", span < 0 ? '-' : '+', hour, minute);
}

std::string FormatInternetDate(TDateTime value, bool gmtAllowed) {
    int32_t year = 0, month = 0, day = 0, dayOfWeek = 0;
    FieldsForOutput(value, year, month, day, dayOfWeek);
    return Format("%s, %d %s %d %s %s", kDayNames[dayOfWeek - 1], day, kMonthNames[month - 1], year,
                  TimeOfDayText(value).c_str(), FormatZoneOffset(LocalUtcOffset(), gmtAllowed).c_str());
}

std::string FormatHttpDate(TDateTime value) {
    int32_t year = 0, month = 0, day = 0, dayOfWeek = 0;
    FieldsForOutput(value, year, month, day, dayOfWeek);
    return Format("%s, %.2d %s %.4d %s %s", kDayNames[dayOfWeek - 1], day, kMonthNames[month - 1], year,
                  TimeOfDayText(value).c_str(), "GMT");
}

}  // namespace quorvane
