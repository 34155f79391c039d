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
    std::string Poll(TAlarmEvaluator& evaluator) {
        TPollOutcome outcome;
        outcome.Code = 200;
        outcome.Succeeded = true;
        std::string keys;
        for (const TAlarmEvent& event : evaluator.Evaluate(outcome, reading_, TReadingSet().set(), "127.0.0.1")) {
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

}  // namespace
}  // namespace quorvane
