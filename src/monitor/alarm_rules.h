#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/readings.h"

namespace quorvane {

// The alarm rules of the nine analogue readings are numbered 0..8 by their catalogue index
// (Temp 1..3, Fan 1..3, Volt 1..3), those of the inputs 0..15.

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
    // Polls in a row that must find the reading beyond a limit before its alarm starts, so
    // that one odd reading does not wake anybody; 1 starts it at the first.
    int32_t Delay = 1;
    static constexpr int32_t kMaxDelay = 1000;
    // A low limit not below the high one (only a hand-edited file holds one): every value would
    // be beyond one of them, so such a row is kept as written but watches nothing.
    bool Crossed() const { return Low && High && !(Low->Value < High->Value); }
    bool Watched() const { return Enabled && (Low || High) && !Crossed(); }
    bool operator==(const TReadingLimits&) const = default;
};

enum class TInputWatch { None, Change, On, Off };

struct TAlarmRules {
    std::array<TReadingLimits, kAnalogueReadingCount> Readings;
    std::array<TInputWatch, kInputCount> Inputs{};
    bool SilenceEnabled = false;
    int32_t SilencePolls = 3;  // failed polls in a row before the unit counts as silent
    // An absolute program path run at each start and end of an alarm; empty for none.
    std::string Command;

    // Whether any alarm can fire at all.
    bool AnyWatched() const;
    bool operator==(const TAlarmRules&) const = default;
};

// The reading an alarm's key is about ("Temp2" of "Temp2High", "Input16" of "Input16Change",
// never "Input1"); nullptr for an alarm of no reading ("UnitSilent").
const TReading* ReadingOfAlarmKey(const std::string& key);

// How far a value must come back inside a limit before its alarm ends: 2 % of the limit, but
// at least one step of the value's last digit (0.1 for "45.3", 1 for "45"), so that a value
// that flickers by one digit on the limit does not raise an alarm at every poll.
double AlarmHysteresis(double limit, std::string_view valueText);

// Checks a row as typed (either text may be empty for no limit); a limit is a number by
// ReadingNumber, the rule of the readings themselves. On success fills `limits`
// (keeping its Enabled and Delay) and returns an empty text, else the reason for the user.
std::string ParseReadingLimits(const std::string& lowText, const std::string& highText, TReadingLimits& limits);

}  // namespace quorvane
