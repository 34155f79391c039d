#include "monitor/alarm_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "monitor/sensor_poll.h"

namespace quorvane {

namespace {

struct ReadingGroup {
    const char* key;
    const char* label;
    const char* unit;
};

constexpr ReadingGroup kGroups[] = {{"Temp", "Temp", "\xC2\xB0" "C"}, {"Fan", "Fan", "rpm"}, {"Volt", "Volt", "V"}};

const ReadingGroup& GroupOf(int row) {
    if (row < 0 || row >= kAlarmReadingCount) throw std::out_of_range("alarm reading row out of range");
    return kGroups[row / 3];
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits after the decimal point of a text ParseAlarmNumber accepted, exponent ignored.
int Decimals(std::string_view text) {
    text = TrimBlanks(text);
    const size_t point = text.find('.');
    if (point == std::string_view::npos) return 0;
    int count = 0;
    for (size_t i = point + 1; i < text.size() && IsDigit(text[i]); ++i) ++count;
    return std::min(count, 15);
}

}  // namespace

std::string AlarmReadingKey(int row) { return GroupOf(row).key + std::to_string(row % 3 + 1); }

std::string AlarmReadingLabel(int row) { return std::string(GroupOf(row).label) + " " + std::to_string(row % 3 + 1); }

std::string AlarmReadingUnit(int row) { return GroupOf(row).unit; }

const std::string& AlarmReadingValue(const TReadingRecord& reading, int row) {
    (void)GroupOf(row);  // throws for a row outside 0..8
    const int number = row % 3 + 1;
    switch (row / 3) {
        case 0: return reading.Temp(number);
        case 1: return reading.Fan(number);
        default: return reading.Volt(number);
    }
}

bool TAlarmRules::AnyWatched() const {
    return SilenceEnabled ||
           std::any_of(Readings.begin(), Readings.end(), [](const TReadingLimits& limits) { return limits.Watched(); }) ||
           std::any_of(Inputs.begin(), Inputs.end(), [](TInputWatch watch) { return watch != TInputWatch::None; });
}

std::optional<double> ParseAlarmNumber(std::string_view text) {
    text = TrimBlanks(text);
    // The shape is checked by hand first: from_chars alone would take "inf" and "nan".
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    // from_chars does not take a leading "+".
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

double AlarmHysteresis(double limit, std::string_view valueText) {
    const double step = std::pow(10.0, -Decimals(valueText));
    return std::max(std::fabs(limit) * 0.02, step);
}

std::string ParseReadingLimits(const std::string& lowText, const std::string& highText, TReadingLimits& limits) {
    TReadingLimits parsed;
    parsed.Enabled = limits.Enabled;
    const std::pair<const std::string*, std::optional<TAlarmLimit>*> sides[] = {{&lowText, &parsed.Low},
                                                                                {&highText, &parsed.High}};
    for (const auto& [text, limit] : sides) {
        const std::string trimmed(TrimBlanks(*text));
        if (trimmed.empty()) continue;
        const std::optional<double> value = ParseAlarmNumber(trimmed);
        if (!value) return "\"" + trimmed + "\" is not a number";
        *limit = TAlarmLimit{*value, trimmed};
    }
    if (parsed.Low && parsed.High && !(parsed.Low->Value < parsed.High->Value)) return "low must be below high";
    limits = parsed;
    return std::string();
}

}  // namespace quorvane
