#include "platform/gui/gui_timer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>

#include "gui_test_support.h"

namespace quorvane::platform {
namespace {

struct RunCase {
    const char* name;
    bool enabled;
    uint32_t interval;
    bool handler;
    bool runs;
};

class TimerRunTest : public ::testing::TestWithParam<RunCase> {};

// The timer counts only when it is enabled, has an interval and has a handler, whatever the
// order in which these are set.
TEST_P(TimerRunTest, RunsOnlyWithAllThreeConditions) {
    const RunCase& c = GetParam();
    TTimer timer;
    int ticks = 0;
    timer.SetEnabled(false);
    timer.SetInterval(c.interval);
    if (c.handler) timer.SetOnTimer([&](TTimer&) { ++ticks; });
    timer.SetEnabled(c.enabled);
    EXPECT_EQ(timer.Running(), c.runs);
    QTest::qWait(120);
    if (c.runs) EXPECT_GE(ticks, 1);
    else EXPECT_EQ(ticks, 0);
}

INSTANTIATE_TEST_SUITE_P(Conditions, TimerRunTest,
                         ::testing::Values(RunCase{"all", true, 20, true, true},
                                           RunCase{"disabled", false, 20, true, false},
                                           RunCase{"zeroInterval", true, 0, true, false},
                                           RunCase{"noHandler", true, 20, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Waits for the next tick and returns the time it took from the clock's start.
qint64 NextTickAfter(TTimer& timer, const QElapsedTimer& clock, int& ticks) {
    const int before = ticks;
    while (ticks == before && clock.elapsed() < 5000) QTest::qWait(5);
    (void)timer;
    return clock.elapsed();
}

// Setting a value the timer already has must not shift a running period, or a poll that
// re-enables the enabled timer would postpone the next tick for ever.
TEST(TimerPeriodTest, SameValuesKeepThePeriodNewOnesRestartIt) {
    TTimer timer;
    int ticks = 0;
    timer.SetInterval(600);
    timer.SetOnTimer([&](TTimer&) { ++ticks; });
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(300);
    timer.SetInterval(600);
    timer.SetEnabled(true);
    const qint64 first = NextTickAfter(timer, clock, ticks);
    EXPECT_LT(first, 880) << "the same interval and state restarted the period";

    clock.restart();
    QTest::qWait(300);
    timer.SetInterval(601);  // another interval: the period starts anew
    const qint64 second = NextTickAfter(timer, clock, ticks);
    EXPECT_GE(second, 300 + 580);

    clock.restart();
    QTest::qWait(300);
    timer.SetEnabled(false);
    timer.SetEnabled(true);  // switched off and on: anew as well
    const qint64 third = NextTickAfter(timer, clock, ticks);
    EXPECT_GE(third, 300 + 580);
}

// A failing handler is reported in the error box under the application's title; the timer
// keeps running.
TEST(TimerHandlerTest, ExceptionGoesToTheErrorBoxAndTicksGoOn) {
    testing::ClearRecordedDialogs();
    TTimer timer;
    int ticks = 0;
    timer.SetInterval(20);
    timer.SetOnTimer([&](TTimer&) {
        ++ticks;
        throw std::runtime_error("tick failed");
    });
    QElapsedTimer clock;
    clock.start();
    while (ticks < 2 && clock.elapsed() < 3000) QTest::qWait(10);
    timer.SetEnabled(false);
    ASSERT_GE(ticks, 2);
    const auto& dialogs = testing::RecordedDialogs();
    ASSERT_GE(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].kind, DialogRequest::ErrorBox);
    EXPECT_EQ(dialogs[0].title, "Quorvane");
    EXPECT_EQ(dialogs[0].text, "tick failed");
}

}  // namespace
}  // namespace quorvane::platform
