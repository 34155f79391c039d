#include "monitor/readings.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "rtl/format.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

using Member = std::string TReadingRecord::*;

constexpr std::array<TReadingGroupInfo, kReadingGroupCount> kGroups{{
    {TReadingGroup::Temp, "Temp", "Temp", "Temperature", " Temp (\xE2\x84\x83) ", "\xC2\xB0" "C", "temp",
     "temperature_celsius", "quorvane_temperature_celsius", "Temperature the unit measured.", "sensor", FirstReadingOf(TReadingGroup::Temp), 3, 'T'},
    {TReadingGroup::Fan, "Fan", "Fan", "Fan", " FAN (rpm) ", "rpm", "fan", "fan_speed_rpm", "quorvane_fan_speed_rpm",
     "Fan speed the unit measured, in revolutions per minute.", "fan", FirstReadingOf(TReadingGroup::Fan), 3, 'F'},
    {TReadingGroup::Volt, "Volt", "Volt", "Voltage", " Volt (V) ", "V", "volt", "voltage_volts",
     "quorvane_voltage_volts", "Voltage the unit measured.", "rail", FirstReadingOf(TReadingGroup::Volt), 3, 'V'},
    {TReadingGroup::Input, "Input", "Input", "Input", " DI (ON/OFF) ", "", "input", "inputs_on", "quorvane_input_on",
     "Whether the digital input is on (1) or off (0).", "input", FirstReadingOf(TReadingGroup::Input), kInputCount, 'I'},
}};

// The record's field of each reading, in catalogue order.
constexpr std::array<Member, kReadingCount> kMembers{
    &TReadingRecord::Temp1,   &TReadingRecord::Temp2,   &TReadingRecord::Temp3,   &TReadingRecord::Fan1,
    &TReadingRecord::Fan2,    &TReadingRecord::Fan3,    &TReadingRecord::Volt1,   &TReadingRecord::Volt2,
    &TReadingRecord::Volt3,   &TReadingRecord::Input1,  &TReadingRecord::Input2,  &TReadingRecord::Input3,
    &TReadingRecord::Input4,  &TReadingRecord::Input5,  &TReadingRecord::Input6,  &TReadingRecord::Input7,
    &TReadingRecord::Input8,  &TReadingRecord::Input9,  &TReadingRecord::Input10, &TReadingRecord::Input11,
    &TReadingRecord::Input12, &TReadingRecord::Input13, &TReadingRecord::Input14, &TReadingRecord::Input15,
    &TReadingRecord::Input16};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t& at) {
    const size_t from = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at - from;
}

}  // namespace

std::string TReading::Key() const { return Group->Key + std::to_string(Number); }
std::string TReading::Label() const { return std::string(Group->Label) + " " + std::to_string(Number); }
std::string TReading::Name() const { return std::string(Group->Name) + " " + std::to_string(Number); }
std::string TReading::Column() const { return Group->Column + std::to_string(Number); }
std::string& TReading::Of(TReadingRecord& record) const { return record.*kMembers[static_cast<size_t>(Index)]; }
const std::string& TReading::Of(const TReadingRecord& record) const {
    return record.*kMembers[static_cast<size_t>(Index)];
}

const std::array<TReadingGroupInfo, kReadingGroupCount>& ReadingGroups() { return kGroups; }

const TReadingGroupInfo& ReadingGroup(TReadingGroup group) { return kGroups[static_cast<size_t>(group)]; }

const std::array<TReading, kReadingCount>& Readings() {
    static const std::array<TReading, kReadingCount> readings = [] {
        std::array<TReading, kReadingCount> made{};
        for (const TReadingGroupInfo& group : kGroups) {
            for (int number = 1; number <= group.Count; ++number) {
                const int index = group.First + number - 1;
                made[static_cast<size_t>(index)] = TReading{&group, number, index};
            }
        }
        return made;
    }();
    return readings;
}

const TReading& ReadingOf(TReadingGroup group, int number) {
    const TReadingGroupInfo& info = ReadingGroup(group);
    if (number < 1 || number > info.Count) {
        throw std::out_of_range(Format("%s index %d outside 1..%d", info.Key, number, info.Count));
    }
    return Readings()[static_cast<size_t>(info.First + number - 1)];
}

std::span<const TReading> ReadingsOf(TReadingGroup group) {
    const TReadingGroupInfo& info = ReadingGroup(group);
    return std::span<const TReading>(Readings()).subspan(static_cast<size_t>(info.First), static_cast<size_t>(info.Count));
}

std::string& TReadingRecord::Volt(int index) { return ReadingOf(TReadingGroup::Volt, index).Of(*this); }
std::string& TReadingRecord::Temp(int index) { return ReadingOf(TReadingGroup::Temp, index).Of(*this); }
std::string& TReadingRecord::Fan(int index) { return ReadingOf(TReadingGroup::Fan, index).Of(*this); }
std::string& TReadingRecord::Input(int index) { return ReadingOf(TReadingGroup::Input, index).Of(*this); }
const std::string& TReadingRecord::Volt(int index) const { return ReadingOf(TReadingGroup::Volt, index).Of(*this); }
const std::string& TReadingRecord::Temp(int index) const { return ReadingOf(TReadingGroup::Temp, index).Of(*this); }
const std::string& TReadingRecord::Fan(int index) const { return ReadingOf(TReadingGroup::Fan, index).Of(*this); }
const std::string& TReadingRecord::Input(int index) const { return ReadingOf(TReadingGroup::Input, index).Of(*this); }

std::optional<double> ReadingNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    // The shape is checked by hand: from_chars alone would also take "inf", "nan" and hex
    // floats, and it takes no "+".
    size_t at = 0;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const size_t numberStart = at;
    size_t digits = SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += SkipDigits(text, at);
    }
    if (digits == 0) return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        if (SkipDigits(text, at) == 0) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    double value = 0;
    // Beyond the range of a double either way ("1e999", "1e-999"), from_chars reports an error.
    const auto [end, error] = std::from_chars(text.data() + numberStart, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<bool> InputOn(const std::string& text) {
    const std::optional<int32_t> number = TCustomIniFile::ParseNumber(text);
    if (!number) return std::nullopt;
    return *number == 1;
}

std::optional<double> ReadingValue(const TReading& reading, const std::string& text) {
    if (reading.Group->Analogue()) return ReadingNumber(text);
    const std::optional<bool> on = InputOn(text);
    if (!on) return std::nullopt;
    return *on ? 1.0 : 0.0;
}

}  // namespace quorvane
