#include "poll_command/text_report.h"

#include "rtl/format.h"

namespace quorvane {

namespace {

std::string Printable(const std::string& text) {
    std::string result = Utf8Text(text, "?");
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return result;
}

std::string ReadingLine(const char* name, int index, const std::string& text, const char* unitSymbol) {
    std::string line = Format("%s %d: %s", name, index, Printable(text).c_str());
    if (ReadingNumber(text)) line += unitSymbol;
    return line + "\n";
}

}  // namespace

std::string FormatTextReport(const TPollReport& report) {
    const TPollOutcome& outcome = report.Outcome;
    std::string text = UtcTimeText(outcome.StartedAtMs);
    if (report.Unit) {
        text += ' ';
        text += Printable(*report.Unit);
    }
    text += Format(" poll %s, response code %d, %.3f s", outcome.Succeeded ? "succeeded" : "failed",
                   static_cast<int>(outcome.Code), static_cast<double>(outcome.DurationMs) / 1000.0);
    if (report.WithCounters) {
        text += Format(" (polls %d, failed %d)", static_cast<int>(report.Polls), static_cast<int>(report.Errors));
    }
    text += "\n";
    if (!outcome.Succeeded) return text;
    const TReadingRecord& readings = report.Readings;
    for (int i = 1; i <= 3; ++i) text += ReadingLine("voltage", i, readings.Volt(i), " V");
    for (int i = 1; i <= 3; ++i) text += ReadingLine("temperature", i, readings.Temp(i), " C");
    for (int i = 1; i <= 3; ++i) text += ReadingLine("fan", i, readings.Fan(i), " rpm");
    for (int i = 1; i <= 16; ++i) {
        const std::optional<bool> state = InputState(readings.Input(i));
        text += state ? Format("input %d: %s\n", i, *state ? "on" : "off")
                      : Format("input %d: %s\n", i, Printable(readings.Input(i)).c_str());
    }
    return text;
}

}  // namespace quorvane
