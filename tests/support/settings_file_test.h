#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace quorvane::testing {

// A test of a store that keeps one section of the settings file (TAlarmSettings,
// THistoryWindowSettings): a fresh file in a folder of its own, and the steps such tests share.
class SettingsFileTest : public ::testing::Test {
protected:
    // Writes the file as given and loads it through Store; what loading says goes to warnings_.
    template <typename Store, typename... More>
    auto LoadWritten(const std::string& text, More... more) {
        WriteFile(file_, text);
        return Store::Load(file_, warnings_, more...);
    }

    // Saves through Store, expects exactly `text` in the file, and the settings to load back
    // as they were saved.
    template <typename Store, typename Settings>
    void ExpectSavedAs(const Settings& settings, const std::string& text) {
        Store::Save(file_, settings);
        EXPECT_EQ(ReadFile(file_), text);
        std::ostringstream again;
        EXPECT_EQ(Store::Load(file_, again), settings) << "loaded back from\n" << text;
    }

    TempDir directory_;
    const std::string file_ = directory_.File("Quorvane.ini");
    std::ostringstream warnings_;
};

}  // namespace quorvane::testing
