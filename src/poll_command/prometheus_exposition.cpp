#include "poll_command/prometheus_exposition.h"

#include <optional>

#include "platform/code_page.h"

namespace quorvane {

namespace {

std::string LabelValue(const std::string& text) {
    std::string result;
    for (const char c : platform::Utf8Text(text)) {
        if (c == '\\' || c == '"') {
            result += '\\';
            result += c;
        } else if (c == '\n') {
            result += "\\n";
        } else {
            result += c;
        }
    }
    return result;
}

// Writes one metric family: its help and type, then a sample for each value that is there.
class TFamilyWriter {
public:
    TFamilyWriter(std::string& out, const std::optional<std::string>& unit) : out_(out) {
        if (unit) unitLabel_ = "unit=\"" + LabelValue(*unit) + "\"";
    }

    void Single(const char* name, const char* type, const char* help, double value) {
        Header(name, type, help);
        Sample(name, "", value);
    }

    // One series per reading of the group, labelled with its number; a reading without a value
    // is skipped, and a family left with no sample is not written at all.
    void Group(const TReadingGroupInfo& group, const TReadingRecord& readings) {
        bool headerWritten = false;
        for (const TReading& reading : ReadingsOf(group.Group)) {
            const std::optional<double> value = ReadingValue(reading, reading.Of(readings));
            if (!value) continue;
            if (!headerWritten) Header(group.Metric, "gauge", group.MetricHelp);
            headerWritten = true;
            Sample(group.Metric, std::string(group.MetricLabel) + "=\"" + std::to_string(reading.Number) + "\"", *value);
        }
    }

private:
    void Header(const char* name, const char* type, const char* help) {
        out_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }

    void Sample(const char* name, const std::string& label, double value) {
        std::string labels = unitLabel_;
        if (!label.empty()) {
            if (!labels.empty()) labels += ',';
            labels += label;
        }
        out_ += name;
        if (!labels.empty()) {
            out_ += '{';
            out_ += labels;
            out_ += '}';
        }
        out_ += ' ';
        out_ += NumberText(value);
        out_ += '\n';
    }

    std::string& out_;
    std::string unitLabel_;
};

}  // namespace

std::string FormatPrometheusExposition(const TPollReport& report) {
    const TPollOutcome& outcome = report.Outcome;
    std::string out;
    TFamilyWriter family(out, report.Unit);
    family.Single("quorvane_poll_success", "gauge", "Whether the last poll of the unit succeeded (1) or failed (0).",
                  outcome.Succeeded ? 1 : 0);
    family.Single("quorvane_poll_duration_seconds", "gauge", "How long the last poll took.",
                  static_cast<double>(outcome.DurationMs) / 1000.0);
    family.Single("quorvane_response_code", "gauge",
                  "HTTP status code of the last response of the unit, -1 when none arrived.", outcome.Code);
    family.Single("quorvane_last_poll_timestamp_seconds", "gauge", "Unix time at which the last poll started.",
                  static_cast<double>(outcome.StartedAtMs) / 1000.0);
    if (report.WithCounters) {
        family.Single("quorvane_polls_total", "counter", "Polls started since the program started.", report.Polls);
        family.Single("quorvane_poll_errors_total", "counter", "Polls that failed since the program started.",
                      report.Errors);
    }
    if (!outcome.Succeeded) return out;

    for (const TReadingGroupInfo& group : ReadingGroups()) family.Group(group, report.Readings);
    return out;
}

}  // namespace quorvane
