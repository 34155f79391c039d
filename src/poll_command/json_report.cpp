#include "poll_command/json_report.h"

#include "platform/code_page.h"
#include "rtl/format.h"

namespace quorvane {

namespace {

std::string JsonString(const std::string& text) {
    std::string result = "\"";
    for (const char c : platform::Utf8Text(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            result += Format("\\u%04x", static_cast<unsigned>(byte));
        } else {
            result += c;
        }
    }
    return result + "\"";
}

// A reading as JSON: its number, an input's state as a boolean, null for a text that is
// neither.
std::string JsonValue(const TReading& reading, const std::string& text) {
    const std::optional<double> value = ReadingValue(reading, text);
    if (!value) return "null";
    if (reading.Group->Analogue()) return NumberText(*value);
    return *value != 0 ? "true" : "false";
}

}  // namespace

std::string FormatJsonReport(const TPollReport& report) {
    const TPollOutcome& outcome = report.Outcome;
    std::string json = "{\"time\":" + JsonString(UtcTimeText(outcome.StartedAtMs));
    if (report.Unit) json += ",\"unit\":" + JsonString(*report.Unit);
    json += Format(",\"succeeded\":%s,\"response_code\":%d,\"duration_seconds\":%s",
                   outcome.Succeeded ? "true" : "false", static_cast<int>(outcome.Code),
                   NumberText(static_cast<double>(outcome.DurationMs) / 1000.0).c_str());
    if (report.WithCounters) {
        json += Format(",\"polls\":%d,\"errors\":%d", static_cast<int>(report.Polls), static_cast<int>(report.Errors));
    }
    if (!outcome.Succeeded) return json + ",\"error\":" + JsonString(outcome.FailureReason) + "}\n";
    for (const TReadingGroupInfo& group : ReadingGroups()) {
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + string for an overlapping copy.
        json += ",\"";
        json += group.JsonName;
        json += "\":[";
        for (const TReading& reading : ReadingsOf(group.Group)) {
            if (reading.Number > 1) json += ',';
            json += JsonValue(reading, reading.Of(report.Readings));
        }
        json += ']';
    }
    return json + "}\n";
}

}  // namespace quorvane
