#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <optional>

namespace quorvane::platform {

namespace {

std::mutex& FixedClockMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<LocalDateTime>& FixedClockSlot() {
    static std::optional<LocalDateTime> slot;
    return slot;
}

}  // namespace

LocalDateTime CurrentLocalDateTime() {
    {
        std::lock_guard<std::mutex> lock(FixedClockMutex());
        if (const auto& fixed = FixedClockSlot()) return *fixed;
    }
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds);
    const std::time_t whole = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    LocalDateTime result;
    if (localtime_r(&whole, &local) == nullptr) return result;
    result.Year = local.tm_year + 1900;
    result.Month = local.tm_mon + 1;
    result.Day = local.tm_mday;
    result.Hour = local.tm_hour;
    result.Minute = local.tm_min;
    // A leap second reads as the last second of the minute: day-count values have no 60th.
    result.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    result.Millisecond = static_cast<int32_t>(millis.count());
    return result;
}

void SetFixedClock(const LocalDateTime& now) {
    std::lock_guard<std::mutex> lock(FixedClockMutex());
    FixedClockSlot() = now;
}

void ClearFixedClock() {
    std::lock_guard<std::mutex> lock(FixedClockMutex());
    FixedClockSlot().reset();
}

}  // namespace quorvane::platform
