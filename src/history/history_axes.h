#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "history/local_time.h"

namespace quorvane {

// What one step of a time axis counts, and so how its labels read: a time to the second or to
// the minute, a date, a month or a year.
enum class TTimeUnit { Second, Minute, Hour, Day, Month, Year };

struct TTimeTick {
    int64_t AtMs = 0;
    // Its local date differs from the tick before (always so for the first): a time label
    // there also needs the date.
    bool NewDay = false;
    bool operator==(const TTimeTick&) const = default;
};

struct TTimeTicks {
    TTimeUnit Unit = TTimeUnit::Second;
    int32_t Count = 1;  // units per step: 15 for a quarter of an hour
    std::vector<TTimeTick> Ticks;
};

// The ticks of a time axis over [fromMs, toMs] drawn `widthPx` wide: the finest of 1, 2, 5, 10,
// 15 or 30 seconds or minutes, 1, 2, 3, 6 or 12 hours, 1, 2, 5 or 10 days (counted from the
// first of the month), 1, 2, 3 or 6 months, or 1, 2, 5, ... years whose ticks stay at least
// `spacingPx(unit)` apart, placed on round local times. A local time the clock skips (the hour
// lost to daylight saving) gets no tick.
TTimeTicks TimeTicks(int64_t fromMs, int64_t toMs, double widthPx, const std::function<double(TTimeUnit)>& spacingPx,
                     const UtcOffsetFunction& offset = LocalUtcOffsetMinutes);

struct TValueTicks {
    double Low = 0;  // the axis range; both ends are ticks
    double High = 1;
    double Step = 1;
    int32_t Decimals = 0;  // enough to tell the ticks apart, no more
    std::vector<double> Ticks;
};

// The ticks of a value axis `heightPx` high over data from `low` to `high` (nothing when there
// are no data): the data padded by a twentieth of their spread on each side, widened to whole
// steps of 1, 2 or 5 times a power of ten, as many steps as fit `spacingPx` apart. For a
// quantity that cannot be negative the axis stops at zero unless a value is below it.
TValueTicks ValueTicks(std::optional<double> low, std::optional<double> high, double heightPx, double spacingPx,
                       bool nonNegative);

}  // namespace quorvane
