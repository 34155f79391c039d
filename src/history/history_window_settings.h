#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace quorvane {

// The History window in the settings file, section [HistoryWindow]:
//   Left=120  Top=80  Width=1100  Height=700  Maximized=0
//   Groups=Temperatures,FanSpeeds,Voltages,Inputs   (those shown)
//   Range=5m | 15m | 1h | 24h | 7d | 30d | All
// The section exists only once the window has been changed from what it was, so that a
// program that never used the window keeps the settings file it always had.
struct THistoryWindowSettings {
    static constexpr const char* kSection = "HistoryWindow";
    static constexpr int kGroupCount = 4;
    static constexpr int kRangeCount = 7;
    // The words of the file, in the window's order.
    static const std::array<const char*, kGroupCount> kGroupWords;
    static const std::array<const char*, kRangeCount> kRangeWords;

    std::optional<int32_t> Left, Top;  // unset: where the desktop puts a new window
    int32_t Width = 1100;
    int32_t Height = 700;
    bool Maximized = false;
    std::array<bool, kGroupCount> Groups{true, false, false, false};
    int32_t Range = 2;  // the last hour

    bool operator==(const THistoryWindowSettings&) const = default;

    // Reads the section without writing anything; what is missing keeps its default. Keys and
    // values that do not fit are reported on `warnings`, one line each, and ignored.
    static THistoryWindowSettings Load(const std::string& fileName, std::ostream& warnings);
    // Writes the section and rewrites the file; other sections and unknown keys stay.
    static void Save(const std::string& fileName, const THistoryWindowSettings& settings);
};

}  // namespace quorvane
