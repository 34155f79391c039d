#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

struct TReadingRecord;

// The nine analogue readings in the order the Status page shows them: Temp 1..3, Fan 1..3,
// Volt 1..3. A row number 0..8 names one of them everywhere in the alarms.
constexpr int kAlarmReadingCount = 9;
constexpr int kAlarmInputCount = 16;

std::string AlarmReadingKey(int row);    // "Temp2": the prefix of its settings keys
std::string AlarmReadingLabel(int row);  // "Temp 2"
std::string AlarmReadingUnit(int row);   // "°C", "rpm", "V" (UTF-8)
const std::string& AlarmReadingValue(const TReadingRecord& reading, int row);

// A limit as the user typed it and as the number compared with.
struct TAlarmLimit {
    double Value = 0;
    std::string Text;
    bool operator==(const TAlarmLimit&) const = default;
};

struct TReadingLimits {
    std::optional<TAlarmLimit> Low;
    std::optional<TAlarmLimit> High;
    bool Enabled = true;
    bool Watched() const { return Enabled && (Low || High); }
    bool operator==(const TReadingLimits&) const = default;
};

enum class TInputWatch { None, Change, On, Off };

struct TAlarmRules {
    std::array<TReadingLimits, kAlarmReadingCount> Readings;
    std::array<TInputWatch, kAlarmInputCount> Inputs{};
    bool SilenceEnabled = false;
    int32_t SilencePolls = 3;  // failed polls in a row before the unit counts as silent

    // Whether any alarm can fire at all.
    bool AnyWatched() const;
    bool operator==(const TAlarmRules&) const = default;
};

// A reading or a typed limit as a number: optional blanks around an optional sign, digits, an
// optional decimal point with digits and an optional exponent; nothing else ("n/a", "", "inf",
// hexadecimal and the like are no number). Independent of the locale.
std::optional<double> ParseAlarmNumber(std::string_view text);

// How far a value must come back inside a limit before its alarm ends: 2 % of the limit, but
// at least one step of the value's last digit (0.1 for "45.3", 1 for "45"), so that a value
// that flickers by one digit on the limit does not raise an alarm at every poll.
double AlarmHysteresis(double limit, std::string_view valueText);

// Checks a row as typed (either text may be empty for no limit). On success fills `limits`
// (keeping its Enabled) and returns an empty text, else the reason for the user.
std::string ParseReadingLimits(const std::string& lowText, const std::string& highText, TReadingLimits& limits);

}  // namespace quorvane
