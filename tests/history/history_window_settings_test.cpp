#include "history/history_window_settings.h"

#include <gtest/gtest.h>

#include "support/settings_file_test.h"

namespace quorvane {
namespace {

class HistoryWindowSettingsTest : public testing::SettingsFileTest {};

TEST_F(HistoryWindowSettingsTest, RoundTripKeepsOtherSectionsAndReportsWhatDoesNotFit) {
    const std::string program = "[Quorvane]\r\nIPV4=127.0.0.1\r\n\r\n";
    THistoryWindowSettings settings = LoadWritten<THistoryWindowSettings>(
        program + "[historywindow]\r\nwidth=1400\r\nHeight=20\r\nGroups=Inputs,fanspeeds\r\n"
                  "Range=7d\r\nMaximized=1\r\nColour=red\r\nLeft=-1200\r\nTop=30\r\n\r\n");
    EXPECT_EQ(settings.Width, 1400);
    EXPECT_EQ(settings.Height, 700) << "too small to be a window: the default";
    EXPECT_EQ(settings.Groups, (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(settings.Range, 4);
    EXPECT_TRUE(settings.Maximized);
    EXPECT_EQ(settings.Left, -1200) << "a screen left of the first one";
    EXPECT_NE(warnings_.str().find("Height=20"), std::string::npos) << warnings_.str();
    EXPECT_NE(warnings_.str().find("Colour=red"), std::string::npos) << warnings_.str();

    settings.Range = 6;
    settings.Groups = {true, false, true, false};
    ExpectSavedAs<THistoryWindowSettings>(
        settings, program + "[historywindow]\r\nWidth=1400\r\nHeight=700\r\nGroups=Temperatures,Voltages\r\n"
                            "Range=All\r\nMaximized=1\r\nColour=red\r\nLeft=-1200\r\nTop=30\r\n\r\n");
}

}  // namespace
}  // namespace quorvane
