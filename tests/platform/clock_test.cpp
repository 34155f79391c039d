#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace quorvane::platform {
namespace {

TEST(CurrentLocalDateTime, AgreesWithTheCLibraryAndCanBeFixed) {
    const std::time_t before = std::time(nullptr);
    const LocalDateTime now = CurrentLocalDateTime();
    std::tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(now.Year, local.tm_year + 1900);
    EXPECT_GE(now.Month, 1);
    EXPECT_LE(now.Month, 12);
    EXPECT_GE(now.Millisecond, 0);
    EXPECT_LE(now.Millisecond, 999);
    EXPECT_LE(now.Second, 59);
    {
        ScopedClock fixed(LocalDateTime{2026, 12, 7, 9, 5, 3, 7});
        const LocalDateTime reading = CurrentLocalDateTime();
        EXPECT_EQ(reading.Day, 7);
        EXPECT_EQ(reading.Millisecond, 7);
    }
    EXPECT_NE(CurrentLocalDateTime().Year, 0);
}

}  // namespace
}  // namespace quorvane::platform
