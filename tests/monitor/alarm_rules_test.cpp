#include "monitor/alarm_rules.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quorvane {
namespace {

struct BandCase {
    const char* name;
    double limit;
    const char* value;
    double band;
};

void PrintTo(const BandCase& row, std::ostream* out) { *out << row.name; }

class AlarmHysteresisBandTest : public ::testing::TestWithParam<BandCase> {};

TEST_P(AlarmHysteresisBandTest, IsTwoPercentOfTheLimitOrOneStepOfTheLastDigit) {
    EXPECT_DOUBLE_EQ(AlarmHysteresis(GetParam().limit, GetParam().value), GetParam().band);
}

INSTANTIATE_TEST_SUITE_P(Bands, AlarmHysteresisBandTest,
                         ::testing::Values(BandCase{"TwoPercent", 45, "45.3", 0.9},
                                           BandCase{"StepOfTheTenths", 0, "0.0", 0.1},
                                           BandCase{"StepOfAnIntegerWithBlanks", 0, " 12 ", 1},
                                           BandCase{"SizeOfANegativeLimit", -10, "-9.95", 0.2},
                                           BandCase{"StepOfTheHundredths", 0.1, "0.25", 0.01}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
