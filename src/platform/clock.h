#pragma once

#include <cstdint>

namespace quorvane::platform {

// A local wall-clock reading in calendar fields (month 1..12, day 1..31).
struct LocalDateTime {
    int32_t Year = 0;
    int32_t Month = 0;
    int32_t Day = 0;
    int32_t Hour = 0;
    int32_t Minute = 0;
    int32_t Second = 0;
    int32_t Millisecond = 0;
};

// The current local date and time of the system clock, or the fixed reading of a test.
LocalDateTime CurrentLocalDateTime();

// Test hooks: every later reading returns `now` until cleared.
void SetFixedClock(const LocalDateTime& now);
void ClearFixedClock();

class ScopedClock {
public:
    explicit ScopedClock(const LocalDateTime& now) { SetFixedClock(now); }
    ~ScopedClock() { ClearFixedClock(); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace quorvane::platform
