#include "poll_command/json_report.h"
#include "poll_command/text_report.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace quorvane {
namespace {

// One poll and how each format reports it. The unit's texts are data: they reach neither a
// terminal as control characters nor a JSON reader as syntax.
struct ReportCase {
    const char* name;
    std::function<TPollReport()> report;
    const char* json;
    const char* text;
};

void PrintTo(const ReportCase& row, std::ostream* out) { *out << row.name; }

TPollReport Poll(bool succeeded, int32_t code, int64_t durationMs) {
    TPollReport report;
    report.Outcome.Succeeded = succeeded;
    report.Outcome.Code = code;
    report.Outcome.StartedAtMs = 1'800'000'000'123;
    report.Outcome.DurationMs = durationMs;
    return report;
}

TPollReport GoodPollWithReadingsThatAreNoNumbers() {
    TPollReport report = Poll(true, 200, 12);
    const char* const volts[] = {"12.5", "", "a\x1b[2J\xff\xc2\x9b" "1m\x9b"};
    const char* const temps[] = {"1", "0", "12.5"};
    const char* const fans[] = {"0", "abc", "12.5"};
    for (int i = 1; i <= 3; ++i) {
        report.Readings.Volt(i) = volts[i - 1];
        report.Readings.Temp(i) = temps[i - 1];
        report.Readings.Fan(i) = fans[i - 1];
    }
    const char* const inputs[] = {"1", "0", "", "abc", "a\x01"};
    for (int i = 1; i <= 16; ++i) report.Readings.Input(i) = i <= 5 ? inputs[i - 1] : "0";
    return report;
}

TPollReport FailedPollOfANamedUnitInARun() {
    TPollReport report = Poll(false, 500, 2250);
    report.Readings.Volt1 = "12.5";  // left by an earlier poll: not reported
    report.Unit = "rack \"4\"\\east\n\xff";
    report.WithCounters = true;
    report.Polls = 3;
    report.Errors = 1;
    report.Outcome.FailureReason = "The unit answered 500 \x01\"x\"";
    return report;
}

class ReportFormatsTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportFormatsTest, JsonAndTextSayTheSame) {
    const TPollReport report = GetParam().report();
    EXPECT_EQ(FormatJsonReport(report), GetParam().json);
    EXPECT_EQ(FormatTextReport(report), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Polls, ReportFormatsTest,
    ::testing::Values(
        ReportCase{"GoodPollWithReadingsThatAreNoNumbers", GoodPollWithReadingsThatAreNoNumbers,
                   "{\"time\":\"2027-01-15T08:00:00.123Z\",\"succeeded\":true,\"response_code\":200,"
                   "\"duration_seconds\":0.012,\"temperature_celsius\":[1,0,12.5],"
                   "\"fan_speed_rpm\":[0,null,12.5],\"voltage_volts\":[12.5,null,null],"
                   "\"inputs_on\":[true,false,null,null,null,false,false,false,false,false,false,false,false,false,"
                   "false,false]}\n",
                   "2027-01-15T08:00:00.123Z poll succeeded, response code 200, 0.012 s\n"
                   "temperature 1: 1 \u00b0C\ntemperature 2: 0 \u00b0C\ntemperature 3: 12.5 \u00b0C\n"
                   "fan 1: 0 rpm\nfan 2: abc\nfan 3: 12.5 rpm\n"
                   "voltage 1: 12.5 V\nvoltage 2: \nvoltage 3: a?[2J??1m?\n"
                   "input 1: on\ninput 2: off\ninput 3: \ninput 4: abc\ninput 5: a?\ninput 6: off\ninput 7: off\n"
                   "input 8: off\ninput 9: off\ninput 10: off\ninput 11: off\ninput 12: off\ninput 13: off\n"
                   "input 14: off\ninput 15: off\ninput 16: off\n"},
        ReportCase{"FailedPollOfANamedUnitInARun", FailedPollOfANamedUnitInARun,
                   "{\"time\":\"2027-01-15T08:00:00.123Z\",\"unit\":\"rack \\\"4\\\"\\\\east\\u000a\xEF\xBF\xBD\","
                   "\"succeeded\":false,\"response_code\":500,\"duration_seconds\":2.25,\"polls\":3,\"errors\":1,"
                   "\"error\":\"The unit answered 500 \\u0001\\\"x\\\"\"}\n",
                   "2027-01-15T08:00:00.123Z rack \"4\"\\east?? poll failed, response code 500, 2.250 s "
                   "(polls 3, failed 1)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
