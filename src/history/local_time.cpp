#include "history/local_time.h"

#include <chrono>
#include <ctime>

namespace quorvane {

int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int32_t LocalUtcOffsetMinutes(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return 0;
    return static_cast<int32_t>(local.tm_gmtoff / 60);
}

}  // namespace quorvane
