#include "monitor/alarm_evaluator.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "monitor/sensor_poll.h"

namespace quorvane {
namespace {

class AlarmEvaluatorTest : public ::testing::Test {
protected:
    // The keys of one successful poll's events, "+" for a start and "-" for an end.
    // `taken`: the readings the poll took; a poll that took fewer than all failed part way.
    std::string Poll(TAlarmEvaluator& evaluator, TReadingSet taken = TReadingSet().set()) {
        TPollOutcome outcome;
        outcome.Code = 200;
        outcome.Succeeded = taken.all();
        std::string keys;
        for (const TAlarmEvent& event : evaluator.Evaluate(outcome, reading_, taken, "127.0.0.1")) {
            keys += (keys.empty() ? "" : " ") + std::string(event.Started ? "+" : "-") + event.Key;
        }
        return keys;
    }
    TReadingRecord reading_;
};

// A limit on one reading and the readings of successive polls, each with the events it gives.
struct HysteresisCase {
    const char* name;
    int row;
    const char* low;
    const char* high;
    std::vector<std::pair<const char*, const char*>> polls;
};

void PrintTo(const HysteresisCase& row, std::ostream* out) { *out << row.name; }

class AlarmHysteresisTest : public AlarmEvaluatorTest, public ::testing::WithParamInterface<HysteresisCase> {};

TEST_P(AlarmHysteresisTest, AnAlarmStartsBeyondTheLimitAndEndsOnlyBackInsideItsBand) {
    const HysteresisCase& row = GetParam();
    TAlarmRules rules;
    ASSERT_EQ(ParseReadingLimits(row.low, row.high, rules.Readings[static_cast<size_t>(row.row)]), "");
    TAlarmEvaluator evaluator(rules);
    for (const auto& [value, events] : row.polls) {
        for (int i = 1; i <= 3; ++i) reading_.Temp(i) = reading_.Fan(i) = reading_.Volt(i) = value;
        EXPECT_EQ(Poll(evaluator), events) << "reading " << value;
    }
}

// Every analogue reading reads the value; only the row's limit is set (0 Temp 1, 1 Temp 2,
// 3 Fan 1, 6 Volt 1).
INSTANTIATE_TEST_SUITE_P(
    Limits, AlarmHysteresisTest,
    ::testing::Values(
        HysteresisCase{"HighEndsTwoPercentBelow", 1, "", "45",
                       {{"45", ""}, {"45.5", "+Temp2High"}, {"44.15", ""}, {"n/a", ""}, {"44.05", "-Temp2High"}}},
        HysteresisCase{"LowOfZeroEndsOneStepOfTheLastDigitAbove", 6, "0", "",
                       {{"-0.1", "+Volt1Low"}, {"0.0", ""}, {"0.1", "-Volt1Low"}}},
        HysteresisCase{"NegativeLimitTakesTwoPercentOfItsSize", 0, "-10", "",
                       {{"-10.5", "+Temp1Low"}, {"-9.9", ""}, {"-9.7", "-Temp1Low"}}},
        HysteresisCase{"FlickerByOneDigitOnTheLimitAlarmsOnce", 3, "", "1000",
                       {{"1001", "+Fan1High"}, {"999", ""}, {"1001", ""}, {"980", "-Fan1High"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlarmEvaluatorTest, InputsReportChangesAndStates) {
    TAlarmRules rules;
    rules.Inputs[0] = TInputWatch::Change;
    rules.Inputs[1] = TInputWatch::On;
    TAlarmEvaluator evaluator(rules);
    reading_.Input1 = "0";
    reading_.Input2 = "1";
    EXPECT_EQ(Poll(evaluator), "+Input2On") << "a first reading is no change";
    reading_.Input1 = "1";
    reading_.Input2 = "on";  // no number: says nothing
    EXPECT_EQ(Poll(evaluator), "+Input1Change");
    EXPECT_TRUE(evaluator.AnyActive());
    reading_.Input2 = "0";
    EXPECT_EQ(Poll(evaluator), "-Input2On");
    EXPECT_FALSE(evaluator.AnyActive());
}

// A reading left over from an earlier poll neither starts nor ends an alarm, nor counts for a
// delay; an alarm of a reading that is not current is not shown as active.
TEST_F(AlarmEvaluatorTest, OnlyReadingsOfThePollJudgeAndADelayWantsPollsInARow) {
    TAlarmRules rules;
    ASSERT_EQ(ParseReadingLimits("", "45", rules.Readings[1]), "");
    rules.Readings[1].Delay = 2;
    rules.Inputs[0] = TInputWatch::On;
    TAlarmEvaluator evaluator(rules);
    TReadingSet onlyTemp1;
    onlyTemp1.set(0);
    reading_.Temp2 = "46";
    reading_.Input1 = "1";
    EXPECT_EQ(Poll(evaluator), "+Input1On") << "Temp 2 waits for a second poll beyond its limit";
    EXPECT_EQ(Poll(evaluator, onlyTemp1), "") << "an old Temp 2 breaks the run";
    EXPECT_FALSE(evaluator.AnyActive()) << "Input 1 was not read: its alarm is not confirmed";
    EXPECT_EQ(Poll(evaluator), "");
    EXPECT_EQ(Poll(evaluator), "+Temp2High");
    EXPECT_TRUE(evaluator.ReadingAlarmed(1));
    reading_.Temp2 = "40";
    reading_.Input1 = "0";
    EXPECT_EQ(Poll(evaluator, onlyTemp1), "") << "old values end nothing";
    EXPECT_FALSE(evaluator.ReadingAlarmed(1));
    EXPECT_EQ(evaluator.ActiveDescriptions(), std::vector<std::string>{});
    EXPECT_EQ(Poll(evaluator), "-Temp2High -Input1On");
}

}  // namespace
}  // namespace quorvane
