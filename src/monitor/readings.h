#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// The last values the unit sent, as text exactly as it sent them once the item prefix is
// gone; nothing is trimmed or converted here (ReadingNumber and InputOn say what a text
// stands for). Fields a failed poll did not reach keep the value of the last poll that
// reached them.
struct TReadingRecord {
    std::string Volt1, Volt2, Volt3;
    std::string Temp1, Temp2, Temp3;
    std::string Fan1, Fan2, Fan3;
    std::string Input1, Input2, Input3, Input4, Input5, Input6, Input7, Input8;
    std::string Input9, Input10, Input11, Input12, Input13, Input14, Input15, Input16;

    // 1-based access by number, for loops over a group: Volt(1..3), Temp(1..3), Fan(1..3),
    // Input(1..16). A number outside the group's range throws std::out_of_range.
    std::string& Volt(int index);
    std::string& Temp(int index);
    std::string& Fan(int index);
    std::string& Input(int index);
    const std::string& Volt(int index) const;
    const std::string& Temp(int index) const;
    const std::string& Fan(int index) const;
    const std::string& Input(int index) const;
};

// The four groups in the order the Status page shows them; everything that lists readings
// (the window, the alarms, the history and its CSV, the reports of quorvane-poll) follows it.
enum class TReadingGroup { Temp, Fan, Volt, Input };

constexpr int kReadingGroupCount = 4;
constexpr int kReadingCount = 25;
constexpr int kAnalogueReadingCount = 9;  // the first nine: Temp 1..3, Fan 1..3, Volt 1..3
constexpr int kInputCount = 16;           // the last sixteen

// Catalogue index of a group's first reading.
constexpr int FirstReadingOf(TReadingGroup group) {
    return group == TReadingGroup::Input ? kAnalogueReadingCount : 3 * static_cast<int>(group);
}

// One group and every name it goes by. Texts are UTF-8.
struct TReadingGroupInfo {
    TReadingGroup Group;
    const char* Key;          // "Temp": record fields, settings keys ("Temp2High"), CSV header ("Temp2")
    const char* Label;        // "Temp": alarm texts ("Temp 2 above 45 °C")
    const char* Name;         // "Temperature": screen readers, and in lower case the text report
    const char* Caption;      // " Temp (℃) ": the Status page's group box
    const char* Unit;         // "°C", "rpm", "V"; empty for the inputs
    const char* Column;       // "temp": history columns ("temp2", "temp2_value")
    const char* JsonName;     // "temperature_celsius"
    const char* Metric;       // "quorvane_temperature_celsius"
    const char* MetricHelp;
    const char* MetricLabel;  // "sensor": the label that numbers the series
    int First;                // catalogue index of its first reading
    int Count;                // 3, or 16 for the inputs
    char ItemLetter;          // the unit's item prefix: "T2:"
    bool Analogue() const { return Group != TReadingGroup::Input; }
};

// One reading: its group and its number in the group.
struct TReading {
    const TReadingGroupInfo* Group;
    int Number;  // 1-based within the group
    int Index;   // 0..24 in catalogue order

    std::string Key() const;     // "Temp2"
    std::string Label() const;   // "Temp 2"
    std::string Name() const;    // "Temperature 2"
    std::string Column() const;  // "temp2"
    std::string& Of(TReadingRecord& record) const;
    const std::string& Of(const TReadingRecord& record) const;
};

const std::array<TReadingGroupInfo, kReadingGroupCount>& ReadingGroups();
const TReadingGroupInfo& ReadingGroup(TReadingGroup group);
// All 25, in catalogue order: Temp 1..3, Fan 1..3, Volt 1..3, Input 1..16.
const std::array<TReading, kReadingCount>& Readings();
const TReading& ReadingOf(TReadingGroup group, int number);
// The readings of one group, in order.
std::span<const TReading> ReadingsOf(TReadingGroup group);

// Readings, by catalogue index, that one poll received.
using TReadingSet = std::bitset<kReadingCount>;

// The number an analogue reading (or an alarm limit) stands for. Blanks (space, tab) at both
// ends are ignored; then an optional sign, digits with an optional fraction ("12", "12.5",
// ".5", "5.", at least one digit), an optional exponent ("e" or "E", an optional sign, at
// least one digit), and nothing else: no hexadecimal, no "inf" or "nan", no second sign. The
// value must be finite. So "+-5" is no number and "1e3" is 1000. Independent of the locale.
std::optional<double> ReadingNumber(std::string_view text);

// The state of a digital input: on exactly when the text is the integer 1 as the settings
// file reads integers (leading spaces, a sign, decimal or "$"/"0x" hexadecimal digits: "01",
// "+1", "0x1" are on), off for any other such integer ("0", "2", "-1"), and unknown (nullopt)
// for anything else ("1.0", "", "on"). An unknown input never lights, never goes into the
// history or a report as a value, and never trips an alarm.
std::optional<bool> InputOn(const std::string& text);

// What a reading's text stands for as a number: ReadingNumber for an analogue reading, 1 or 0
// for an input that is on or off; nothing otherwise.
std::optional<double> ReadingValue(const TReading& reading, const std::string& text);

}  // namespace quorvane
