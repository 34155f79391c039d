#include "monitor/readings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvane {
namespace {

struct NumberCase {
    const char* text;
    std::optional<double> number;
};

void PrintTo(const NumberCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ReadingNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadingNumberTest, DecimalWithOptionalExponentAndNothingElse) {
    EXPECT_EQ(ReadingNumber(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadingNumberTest,
    ::testing::Values(NumberCase{"12.5", 12.5}, NumberCase{".5", 0.5}, NumberCase{"5.", 5.0},
                      NumberCase{" \t-3 \t", -3.0}, NumberCase{"+7", 7.0}, NumberCase{"1e3", 1000.0},
                      NumberCase{"2.5E-1", 0.25}, NumberCase{"+-5", std::nullopt}, NumberCase{"", std::nullopt},
                      NumberCase{".", std::nullopt}, NumberCase{"1e", std::nullopt}, NumberCase{"0x10", std::nullopt},
                      NumberCase{"inf", std::nullopt}, NumberCase{"nan", std::nullopt},
                      NumberCase{"1e999", std::nullopt}, NumberCase{"12abc", std::nullopt},
                      NumberCase{"1,5", std::nullopt}));

struct InputCase {
    const char* text;
    std::optional<bool> on;
};

void PrintTo(const InputCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class InputOnTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputOnTest, OnIsTheIntegerOneOffAnyOtherInteger) { EXPECT_EQ(InputOn(GetParam().text), GetParam().on); }

INSTANTIATE_TEST_SUITE_P(
    Texts, InputOnTest,
    ::testing::Values(InputCase{"1", true}, InputCase{"01", true}, InputCase{" 1", true}, InputCase{"+1", true},
                      InputCase{"$1", true}, InputCase{"0x1", true}, InputCase{"0", false}, InputCase{"2", false},
                      InputCase{"-1", false}, InputCase{"0x0", false}, InputCase{"1.0", std::nullopt},
                      InputCase{"", std::nullopt}, InputCase{"on", std::nullopt}, InputCase{"1 ", std::nullopt},
                      InputCase{"4294967297", std::nullopt}));

}  // namespace
}  // namespace quorvane
