#include "poll_command/prometheus_exposition.h"

#include <gtest/gtest.h>

#include "poll_command/json_report.h"
#include "support/promtool.h"

namespace quorvane {
namespace {

TPollReport GoodPoll() {
    TPollReport report;
    report.Outcome.Succeeded = true;
    report.Outcome.Code = 200;
    report.Outcome.StartedAtMs = 1796765609216;
    report.Outcome.DurationMs = 12;
    for (int i = 1; i <= 3; ++i) {
        report.Readings.Volt(i) = "12.0";
        report.Readings.Temp(i) = "35.5";
        report.Readings.Fan(i) = "2400";
    }
    for (int i = 1; i <= 16; ++i) report.Readings.Input(i) = i % 2 == 0 ? "1" : "0";
    return report;
}

// What a broken unit sends must never turn into a plausible value: a reading that is no number
// is left out of the exposition (null in JSON), not written as 0.
TEST(PrometheusExpositionTest, LeavesOutWhatIsNoNumberAndEscapesTheUnitName) {
    TPollReport report = GoodPoll();
    report.Unit = "rack \"4\"\\east\nrow";
    report.Readings.Temp(2) = "ERR";
    report.Readings.Volt(1) = "nan";
    report.Readings.Fan(1) = "";
    report.Readings.Fan(2) = "0x10";
    report.Readings.Fan(3) = "1e999";
    report.Readings.Input(3) = "2";
    report.Readings.Temp(3) = " -4.5 ";

    const std::string text = FormatPrometheusExposition(report);
    const std::string unit = "unit=\"rack \\\"4\\\"\\\\east\\nrow\"";
    EXPECT_NE(text.find("quorvane_temperature_celsius{" + unit + ",sensor=\"1\"} 35.5\n"), std::string::npos) << text;
    EXPECT_NE(text.find("quorvane_temperature_celsius{" + unit + ",sensor=\"3\"} -4.5\n"), std::string::npos);
    EXPECT_EQ(text.find("sensor=\"2\""), std::string::npos);
    EXPECT_EQ(text.find("rail=\"1\""), std::string::npos);
    EXPECT_NE(text.find("quorvane_input_on{" + unit + ",input=\"3\"} 0\n"), std::string::npos) << "an integer but 1 is off";
    EXPECT_EQ(text.find("quorvane_fan_speed_rpm"), std::string::npos) << "a family without samples is left out";
    if (testing::PromtoolPresent()) {
        EXPECT_EQ(testing::PromtoolProblems(text), "");
    }

    EXPECT_NE(FormatJsonReport(report).find("\"temperature_celsius\":[35.5,null,-4.5],\"fan_speed_rpm\":[null,null,null]"),
              std::string::npos)
        << FormatJsonReport(report);
}

}  // namespace
}  // namespace quorvane
