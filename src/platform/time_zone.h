#pragma once

#include <cstdint>

namespace quorvane::platform {

// The zone data the internet date texts need: how far local time lies behind UTC, split the
// way the date code expects it (a base bias plus the bias of standard or daylight time), and
// which of the two is in force at the moment of the query. All biases are in minutes,
// UTC minus local time, so a zone east of Greenwich has a negative bias.
struct TimeZoneInformation {
    int32_t Bias = 0;
    int32_t StandardBias = 0;
    int32_t DaylightBias = 0;
};

// Results of the query: the zone has no daylight saving (unknown), standard time is in force,
// daylight time is in force, or no zone data could be had.
constexpr uint32_t kTimeZoneIdUnknown = 0;
constexpr uint32_t kTimeZoneIdStandard = 1;
constexpr uint32_t kTimeZoneIdDaylight = 2;
constexpr uint32_t kTimeZoneIdInvalid = 0xFFFFFFFFu;

// Fills `info` from the C library's zone data for the current moment and returns one of the
// ids above. The sum Bias + StandardBias (standard), Bias + DaylightBias (daylight) or Bias
// (unknown) is exactly UTC minus the local time in force now.
uint32_t GetTimeZoneInformation(TimeZoneInformation& info);

// Test hooks. A fixed zone replaces the C library's answer for every later query until it is
// cleared; `zoneId` is returned as given, so a test may also feed states the caller does not
// expect. FailTimeZoneQuery makes the query report kTimeZoneIdInvalid.
void SetFixedTimeZone(uint32_t zoneId, const TimeZoneInformation& info);
void FailTimeZoneQuery();
void ClearFixedTimeZone();

// Holds a fixed zone for the lifetime of the object (tests). The offset form gives a zone
// without daylight saving that lies `minutesEastOfUtc` ahead of UTC (+540 for +0900).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(int32_t minutesEastOfUtc);
    ScopedTimeZone(uint32_t zoneId, const TimeZoneInformation& info);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    // A scope in which every query fails.
    static ScopedTimeZone Failing();

private:
    struct FailTag {};
    explicit ScopedTimeZone(FailTag);
};

}  // namespace quorvane::platform
