#include "poll_command/text_report.h"

#include "rtl/format.h"

namespace quorvane {

namespace {

// "temperature 2: 45.5 °C", "input 3: on"; a text that stands for nothing is shown as sent.
std::string ReadingLine(const TReading& reading, const std::string& text) {
    std::string name = reading.Name();
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
    const std::optional<double> value = ReadingValue(reading, text);
    std::string line = name + ": ";
    if (value && !reading.Group->Analogue()) {
        line += *value != 0 ? "on" : "off";
    } else {
        line += TerminalText(text);
        if (value) {
            line += ' ';
            line += reading.Group->Unit;
        }
    }
    line += '\n';
    return line;
}

}  // namespace

std::string FormatTextReport(const TPollReport& report) {
    const TPollOutcome& outcome = report.Outcome;
    std::string text = UtcTimeText(outcome.StartedAtMs);
    if (report.Unit) {
        text += ' ';
        text += TerminalText(*report.Unit);
    }
    text += Format(" poll %s, response code %d, %.3f s", outcome.Succeeded ? "succeeded" : "failed",
                   static_cast<int>(outcome.Code), static_cast<double>(outcome.DurationMs) / 1000.0);
    if (report.WithCounters) {
        text += Format(" (polls %d, failed %d)", static_cast<int>(report.Polls), static_cast<int>(report.Errors));
    }
    text += "\n";
    if (!outcome.Succeeded) return text;
    for (const TReading& reading : Readings()) text += ReadingLine(reading, reading.Of(report.Readings));
    return text;
}

}  // namespace quorvane
