// Received date texts of any bytes are read without failing: the result is the zero date or a
// date inside the calendar, and the zone part handed back is left-trimmed. And every date the
// client writes reads back to the same second: the internet form (with the local offset) both
// as written and turned back into local time, the HTTP form as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "http/net_global.h"
#include "platform/time_zone.h"
#include "rtl/date_time.h"

namespace {

using quorvane::TDateTime;

struct Fields {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const Fields&) const = default;
};

Fields ToSecond(TDateTime value) {
    Fields fields;
    quorvane::DecodeDate(value, fields.year, fields.month, fields.day);
    quorvane::DecodeTime(value, fields.hour, fields.minute, fields.second, fields.millisecond);
    fields.millisecond = 0;
    return fields;
}

void CheckAnyText(const std::string& text) {
    std::string rest = text;
    const TDateTime parsed = quorvane::ParseInternetDate(rest);
    FUZZ_CHECK(std::isfinite(parsed));
    if (parsed != 0) {
        int32_t year = 0, month = 0, day = 0;
        FUZZ_CHECK(quorvane::TryDecodeDate(parsed, year, month, day));
        // What an unreadable text leaves behind is unspecified; a read date hands back its
        // zone part trimmed.
        FUZZ_CHECK(rest.empty() || static_cast<unsigned char>(rest[0]) > ' ');
    }
    FUZZ_CHECK(std::isfinite(quorvane::InternetDateToLocal(text)));
    const TDateTime zone = quorvane::ParseZoneOffset(text);
    FUZZ_CHECK(std::fabs(zone) < 1.0);
}

// The reader pivots two-digit years (a year below 100 is read as 19xx or 20xx) and takes a
// year written as 1900 for a missing one; both are documented rules, so dates in those years
// cannot read back as written and are left out of the round trip.
bool YearReadsBack(int32_t year) { return year >= 100 && year != 1900; }

void CheckRoundTrip(TDateTime value, bool gmtAllowed) {
    const Fields expected = ToSecond(value);
    if (!YearReadsBack(expected.year)) {
        return;
    }

    const std::string internet = quorvane::FormatInternetDate(value, gmtAllowed);
    std::string rest = internet;
    FUZZ_CHECK(ToSecond(quorvane::ParseInternetDate(rest)) == expected);
    FUZZ_CHECK(std::fabs(quorvane::ParseZoneOffset(rest) - quorvane::LocalUtcOffset()) < 1e-9);
    FUZZ_CHECK(ToSecond(quorvane::InternetDateToLocal(internet)) == expected);

    std::string http = quorvane::FormatHttpDate(value);
    FUZZ_CHECK(ToSecond(quorvane::ParseInternetDate(http)) == expected);
    FUZZ_CHECK(http == "GMT");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);

    // A fixed zone, so that every run of an input gives the same texts: up to a day minus a
    // minute either side of UTC, in any of the three zone states.
    quorvane::platform::TimeZoneInformation zone;
    const uint32_t zoneId = input.ConsumeIntegralInRange<uint32_t>(0, 2);
    const int32_t inForce = input.ConsumeIntegralInRange<int32_t>(-1439, 1439);
    const int32_t stateBias = zoneId == 0 ? 0 : input.ConsumeIntegralInRange<int32_t>(-120, 120);
    zone.Bias = inForce - stateBias;
    zone.StandardBias = zoneId == 1 ? stateBias : -7;
    zone.DaylightBias = zoneId == 2 ? stateBias : 13;
    const quorvane::platform::ScopedTimeZone fixedZone(zoneId, zone);

    const int32_t year = input.ConsumeIntegralInRange<int32_t>(1, 9999);
    const int32_t month = input.ConsumeIntegralInRange<int32_t>(1, 12);
    const int32_t day = input.ConsumeIntegralInRange<int32_t>(1, quorvane::DaysInAMonth(year, month));
    const int32_t hour = input.ConsumeIntegralInRange<int32_t>(0, 23);
    const int32_t minute = input.ConsumeIntegralInRange<int32_t>(0, 59);
    const int32_t second = input.ConsumeIntegralInRange<int32_t>(0, 59);
    const int32_t millisecond = input.ConsumeIntegralInRange<int32_t>(0, 999);
    const bool gmtAllowed = input.ConsumeBool();
    const TDateTime value = quorvane::ComposeDateTime(quorvane::EncodeDate(year, month, day),
                                                      quorvane::EncodeTime(hour, minute, second, millisecond));
    CheckRoundTrip(value, gmtAllowed);

    CheckAnyText(input.ConsumeRemainingBytesAsString());
    return 0;
}
