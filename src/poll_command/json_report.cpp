#include "poll_command/json_report.h"

#include "rtl/format.h"

namespace quorvane {

namespace {

std::string JsonString(const std::string& text) {
    std::string result = "\"";
    for (const char c : Utf8Text(text)) {
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

std::string NumberOrNull(const std::string& text) {
    const std::optional<double> value = ReadingNumber(text);
    return value ? NumberText(*value) : "null";
}

template <typename Field>
std::string JsonArray(int count, Field field) {
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + string for an overlapping copy.
    std::string result = "[";
    for (int i = 1; i <= count; ++i) {
        if (i > 1) result += ',';
        result += field(i);
    }
    result += ']';
    return result;
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
    const TReadingRecord& readings = report.Readings;
    json += ",\"voltage_volts\":";
    json += JsonArray(3, [&](int i) { return NumberOrNull(readings.Volt(i)); });
    json += ",\"temperature_celsius\":";
    json += JsonArray(3, [&](int i) { return NumberOrNull(readings.Temp(i)); });
    json += ",\"fan_speed_rpm\":";
    json += JsonArray(3, [&](int i) { return NumberOrNull(readings.Fan(i)); });
    json += ",\"inputs_on\":";
    json += JsonArray(16, [&](int i) -> std::string {
                const std::optional<bool> state = InputState(readings.Input(i));
                return state ? (*state ? "true" : "false") : "null";
            });
    return json + "}\n";
}

}  // namespace quorvane
