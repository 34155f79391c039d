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

}  // namespace quorvane::testing
