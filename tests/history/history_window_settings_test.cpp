#include "history/history_window_settings.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(HistoryWindowSettingsTest, RoundTripKeepsOtherSectionsAndReportsWhatDoesNotFit) {
    testing::TempDir directory;
    const std::string file = directory.File("Quorvane.ini");
    const std::string program = "[Quorvane]\r\nIPV4=127.0.0.1\r\n\r\n";
    testing::WriteFile(file, program +
                                 "[historywindow]\r\nwidth=1400\r\nHeight=20\r\nGroups=Inputs,fanspeeds\r\n"
                                 "Range=7d\r\nMaximized=1\r\nColour=red\r\nLeft=-1200\r\nTop=30\r\n\r\n");
    std::ostringstream warnings;
    THistoryWindowSettings settings = THistoryWindowSettings::Load(file, warnings);
    EXPECT_EQ(settings.Width, 1400);
    EXPECT_EQ(settings.Height, 700) << "too small to be a window: the default";
    EXPECT_EQ(settings.Groups, (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(settings.Range, 4);
    EXPECT_TRUE(settings.Maximized);
    EXPECT_EQ(settings.Left, -1200) << "a screen left of the first one";
    EXPECT_NE(warnings.str().find("Height=20"), std::string::npos) << warnings.str();
    EXPECT_NE(warnings.str().find("Colour=red"), std::string::npos) << warnings.str();

    settings.Range = 6;
    settings.Groups = {true, false, true, false};
    THistoryWindowSettings::Save(file, settings);
    EXPECT_EQ(testing::ReadFile(file),
              program +
                  "[historywindow]\r\nWidth=1400\r\nHeight=700\r\nGroups=Temperatures,Voltages\r\n"
                  "Range=All\r\nMaximized=1\r\nColour=red\r\nLeft=-1200\r\nTop=30\r\n\r\n");
    std::ostringstream again;
    EXPECT_EQ(THistoryWindowSettings::Load(file, again), settings);
}

}  // namespace
}  // namespace quorvane
