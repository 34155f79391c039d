#include "monitor/alarm_evaluator.h"

#include <gtest/gtest.h>

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
        for (const TAlarmEvent& event : evaluator.Evaluate(outcome, reading_, "127.0.0.1")) {
            keys += (keys.empty() ? "" : " ") + std::string(event.Started ? "+" : "-") + event.Key;
        }
        return keys;
    }
    TReadingRecord reading_;
};

TEST_F(AlarmEvaluatorTest, LowLimitOfZeroEndsOneStepOfTheLastDigitAbove) {
    TAlarmRules rules;
    ParseReadingLimits("0", "", rules.Readings[6]);  // Volt 1
    TAlarmEvaluator evaluator(rules);
    reading_.Volt1 = "-0.1";
    EXPECT_EQ(Poll(evaluator), "+Volt1Low");
    reading_.Volt1 = "0.0";
    EXPECT_EQ(Poll(evaluator), "");
    reading_.Volt1 = "0.1";
    EXPECT_EQ(Poll(evaluator), "-Volt1Low");
}

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
