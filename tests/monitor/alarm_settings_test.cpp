#include "monitor/alarm_settings.h"

#include <gtest/gtest.h>

#include "support/settings_file_test.h"

namespace quorvane {
namespace {

class AlarmSettingsTest : public testing::SettingsFileTest {};

TEST_F(AlarmSettingsTest, RoundTripKeepsOtherSectionsUnknownKeysAndMalformedValues) {
    const std::string program = "[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=80\r\n\r\n";
    TAlarmRules rules =
        LoadWritten<TAlarmSettings>(program +
                                    "[alarms]\r\ntemp2high=45\r\nFan1Low=1000\r\nVolt3Enabled=0\r\nInput5=change\r\n"
                                    "UnitSilentEnabled=1\r\nUnitSilentPolls=4\r\nColour=red\r\nVolt1High=twelve\r\n"
                                    "Input6=sometimes\r\nFan2Delay=3\r\nCommand=/usr/local/bin/on alarm\r\n"
                                    "Temp3Delay=0\r\n\r\n");
    EXPECT_EQ(rules.Readings[1].High, (TAlarmLimit{45, "45"}));
    EXPECT_EQ(rules.Readings[3].Low, (TAlarmLimit{1000, "1000"}));
    EXPECT_FALSE(rules.Readings[8].Enabled);
    EXPECT_FALSE(rules.Readings[6].High) << "a value that is no number sets no limit";
    EXPECT_EQ(rules.Inputs[4], TInputWatch::Change);
    EXPECT_EQ(rules.Inputs[5], TInputWatch::None);
    EXPECT_TRUE(rules.SilenceEnabled);
    EXPECT_EQ(rules.SilencePolls, 4);
    EXPECT_EQ(rules.Readings[4].Delay, 3);
    EXPECT_EQ(rules.Readings[2].Delay, 1) << "a delay of no polls is none";
    EXPECT_EQ(rules.Command, "/usr/local/bin/on alarm") << "a path is not split";
    const std::string said = warnings_.str();
    for (const char* line : {"Colour=red", "Volt1High=twelve", "Input6=sometimes", "Temp3Delay=0"}) {
        EXPECT_NE(said.find(line), std::string::npos) << said;
    }
    EXPECT_EQ(said.find("temp2high"), std::string::npos) << said;

    rules.Readings[1].High = TAlarmLimit{50, "50"};
    rules.Readings[3].Low.reset();
    rules.Readings[8].Enabled = true;
    rules.Readings[4].Delay = 1;
    rules.Readings[1].Delay = 2;
    ExpectSavedAs<TAlarmSettings>(
        rules, program +
                   "[alarms]\r\nTemp2High=50\r\nInput5=Change\r\nUnitSilentEnabled=1\r\nUnitSilentPolls=4\r\n"
                   "Colour=red\r\nVolt1High=twelve\r\nInput6=sometimes\r\nCommand=/usr/local/bin/on alarm\r\n"
                   "Temp3Delay=0\r\nTemp2Delay=2\r\n\r\n");
}

// A hand-edited section may set a rule twice. Whatever the page removes or changes must not
// come back from an earlier line at the next start.
TEST_F(AlarmSettingsTest, RemovingOrChangingARuleTakesEveryLineThatSetIt) {
    TAlarmRules rules = LoadWritten<TAlarmSettings>(
        "[Alarms]\r\nTemp1High=40\r\nTemp2Low=abc\r\nTemp3High=7\r\nTemp1High=50\r\nTemp2Low=5\r\nTemp3High=8\r\n\r\n");
    EXPECT_EQ(rules.Readings[0].High, (TAlarmLimit{50, "50"}));
    rules.Readings[0].High.reset();
    rules.Readings[1].Low.reset();
    rules.Readings[2].High = TAlarmLimit{9, "9"};
    // The malformed line never set anything and stays the user's.
    ExpectSavedAs<TAlarmSettings>(rules, "[Alarms]\r\nTemp2Low=abc\r\nTemp3High=9\r\n\r\n");
}

// Limits that cross, and an earlier section of the same name, are said on standard error and
// beside the row; crossed limits are kept as written but watch nothing.
TEST_F(AlarmSettingsTest, CrossedLimitsAndAnEarlierSectionAreReportedForTheirRows) {
    TAlarmRowNotes notes;
    const TAlarmRules rules = LoadWritten<TAlarmSettings>(
        "[Alarms]\r\nTemp1High=40\r\nInput2=On\r\n\r\n[alarms]\r\nTemp2Low=50\r\nTemp2High=45\r\n"
        "Volt1High=twelve\r\n\r\n",
        &notes);
    EXPECT_FALSE(rules.Readings[0].High) << "only the last section is read";
    EXPECT_EQ(rules.Inputs[1], TInputWatch::None);
    EXPECT_TRUE(rules.Readings[1].Crossed());
    EXPECT_FALSE(rules.Readings[1].Watched());
    EXPECT_FALSE(rules.AnyWatched());
    EXPECT_EQ(warnings_.str(),
              file_ + ": ignored the section [Alarms]: a later section [alarms] takes its place\n" + file_ +
                  ", [Alarms]: ignored \"Volt1High=twelve\" (unknown key or a value that does not fit it)\n" + file_ +
                  ", [Alarms]: Temp2Low=50 is not below Temp2High=45; that row watches nothing "
                  "until it is mended\n");
    EXPECT_EQ(notes[0], "\"Temp1High=40\" is ignored: a later [alarms] section takes the place of its section");
    EXPECT_EQ(notes[1], "low must be below high; not watched");
    EXPECT_EQ(notes[6], "\"Volt1High=twelve\" in the settings file does not fit");
    EXPECT_EQ(notes[2], "");
}

TEST_F(AlarmSettingsTest, NoFileMeansNoAlarmsAndLoadingWritesNothing) {
    EXPECT_FALSE(TAlarmSettings::Load(file_, warnings_).AnyWatched());
    EXPECT_FALSE(std::filesystem::exists(file_));
}

}  // namespace
}  // namespace quorvane
