#pragma once

#include <cstdint>
#include <functional>

namespace quorvane {

// Now by the system clock, in milliseconds since 1970 UTC.
int64_t WallClockMs();

// Minutes local time lies ahead of UTC at a moment (+60 for Central European winter time).
using UtcOffsetFunction = std::function<int32_t(int64_t ms)>;
// The C library's zone, daylight saving included, at each moment.
int32_t LocalUtcOffsetMinutes(int64_t ms);

// Division that rounds towards minus infinity, for times before 1970 as well.
constexpr int64_t FloorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

}  // namespace quorvane
