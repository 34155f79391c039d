#include "monitor/alarm_rules.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits after the decimal point of a text ReadingNumber accepted, exponent ignored.
int Decimals(std::string_view text) {
    text = TrimBlanks(text);
    const size_t point = text.find('.');
    if (point == std::string_view::npos) return 0;
    int count = 0;
    for (size_t i = point + 1; i < text.size() && IsDigit(text[i]); ++i) ++count;
    return std::min(count, 15);
}

}  // namespace

bool TAlarmRules::AnyWatched() const {
    return SilenceEnabled ||
           std::any_of(Readings.begin(), Readings.end(), [](const TReadingLimits& limits) { return limits.Watched(); }) ||
           std::any_of(Inputs.begin(), Inputs.end(), [](TInputWatch watch) { return watch != TInputWatch::None; });
}

const TReading* ReadingOfAlarmKey(const std::string& key) {
    const TReading* found = nullptr;
    for (const TReading& reading : Readings()) {
        const std::string name = reading.Key();
        if (key.compare(0, name.size(), name) == 0 && (found == nullptr || name.size() > found->Key().size())) {
            found = &reading;
        }
    }
    return found;
}

double AlarmHysteresis(double limit, std::string_view valueText) {
    const double step = std::pow(10.0, -Decimals(valueText));
    return std::max(std::fabs(limit) * 0.02, step);
}

std::string ParseReadingLimits(const std::string& lowText, const std::string& highText, TReadingLimits& limits) {
    TReadingLimits parsed;
    parsed.Enabled = limits.Enabled;
    parsed.Delay = limits.Delay;
    const std::pair<const std::string*, std::optional<TAlarmLimit>*> sides[] = {{&lowText, &parsed.Low},
                                                                                {&highText, &parsed.High}};
    for (const auto& [text, limit] : sides) {
        const std::string trimmed(TrimBlanks(*text));
        if (trimmed.empty()) continue;
        const std::optional<double> value = ReadingNumber(trimmed);
        if (!value) return "\"" + trimmed + "\" is not a number";
        *limit = TAlarmLimit{*value, trimmed};
    }
    if (parsed.Low && parsed.High && !(parsed.Low->Value < parsed.High->Value)) return "low must be below high";
    limits = parsed;
    return std::string();
}

}  // namespace quorvane
