#pragma once

#include <gtest/gtest.h>

#include "window/form1.h"
#include "monitor/sensor_poll.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

// Each window test starts as the program does, in a folder of its own: no settings file and
// no history beside it yet, the readings empty and the counters at zero.
class WindowUnitTest : public ::testing::Test {
protected:
    WindowUnitTest() : workingDirectory_(directory_.Path()) {
        InitializeMonitorWindowUnit();
        Reading = TReadingRecord{};
    }
    ~WindowUnitTest() override { FinalizeMonitorWindowUnit(); }

    TempDir directory_;
    ScopedWorkingDirectory workingDirectory_;
};

// What a stand-in poll hands the window: a poll that reached every reading, or one that
// failed before it reached any.
inline TPollResult AnsweredPoll(TReadingRecord readings = {}, int64_t startedAtMs = 0, int32_t code = 200) {
    TPollResult result;
    result.Outcome = TPollOutcome{code, true, "", startedAtMs, 0};
    result.Readings = std::move(readings);
    result.Reached.set();
    result.Started = true;
    return result;
}

inline TPollResult FailedPoll(std::string reason, int64_t startedAtMs = 0, int32_t code = -1) {
    TPollResult result;
    result.Outcome = TPollOutcome{code, false, std::move(reason), startedAtMs, 0};
    result.Started = true;
    result.Failed = true;
    return result;
}

}  // namespace quorvane::testing
