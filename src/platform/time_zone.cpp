#include "platform/time_zone.h"

#include <ctime>
#include <mutex>
#include <optional>

namespace quorvane::platform {

namespace {

struct FixedZone {
    uint32_t zoneId;
    TimeZoneInformation info;
};

std::mutex& FixedZoneMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<FixedZone>& FixedZoneSlot() {
    static std::optional<FixedZone> slot;
    return slot;
}

uint32_t QueryCLibrary(TimeZoneInformation& info) {
    info = TimeZoneInformation{};
    // localtime_r need not read the zone settings again; tzset also fills `timezone`.
    tzset();
    const std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) return kTimeZoneIdInvalid;
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return kTimeZoneIdInvalid;

    // tm_gmtoff is local minus UTC in seconds; the bias runs the other way, in minutes.
    const auto biasNow = static_cast<int32_t>(-local.tm_gmtoff / 60);
    if (local.tm_isdst > 0) {
        // `timezone` (seconds west of UTC in standard time) gives the base, so that the
        // daylight part is what daylight saving adds; the sum stays exactly biasNow.
        info.Bias = static_cast<int32_t>(::timezone / 60);
        info.DaylightBias = biasNow - info.Bias;
        return kTimeZoneIdDaylight;
    }
    info.Bias = biasNow;
    // A zone that never observes daylight saving has no standard/daylight state at all.
    return (local.tm_isdst == 0 && ::daylight != 0) ? kTimeZoneIdStandard : kTimeZoneIdUnknown;
}

}  // namespace

uint32_t GetTimeZoneInformation(TimeZoneInformation& info) {
    {
        std::lock_guard<std::mutex> lock(FixedZoneMutex());
        if (const auto& fixed = FixedZoneSlot()) {
            info = fixed->info;
            return fixed->zoneId;
        }
    }
    return QueryCLibrary(info);
}

void SetFixedTimeZone(uint32_t zoneId, const TimeZoneInformation& info) {
    std::lock_guard<std::mutex> lock(FixedZoneMutex());
    FixedZoneSlot() = FixedZone{zoneId, info};
}

void FailTimeZoneQuery() { SetFixedTimeZone(kTimeZoneIdInvalid, TimeZoneInformation{}); }

void ClearFixedTimeZone() {
    std::lock_guard<std::mutex> lock(FixedZoneMutex());
    FixedZoneSlot().reset();
}

ScopedTimeZone::ScopedTimeZone(int32_t minutesEastOfUtc) {
    TimeZoneInformation info;
    info.Bias = -minutesEastOfUtc;
    SetFixedTimeZone(kTimeZoneIdUnknown, info);
}

ScopedTimeZone::ScopedTimeZone(uint32_t zoneId, const TimeZoneInformation& info) {
    SetFixedTimeZone(zoneId, info);
}

ScopedTimeZone::ScopedTimeZone(FailTag) { FailTimeZoneQuery(); }

ScopedTimeZone::~ScopedTimeZone() { ClearFixedTimeZone(); }

ScopedTimeZone ScopedTimeZone::Failing() { return ScopedTimeZone(FailTag{}); }

}  // namespace quorvane::platform
