#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorvane {

// Everything one poll needs to reach the unit, in the units the poll takes.
struct TUnitTarget {
    std::string Host;
    int32_t Port = 80;
    std::string UserName;
    std::string Password;
    int32_t ConnectTimeoutMs = 0;
    int32_t ReadTimeoutMs = 0;
};

// The unit's settings as the settings file keeps them, each at the value a first start writes.
struct TUnitSettings {
    std::string Address = "192.168.1.200";  // a unit on a private network; the user gives the real one
    std::string Port = "80";                // text: read as a number only when a poll starts
    std::string UserName = "admin";
    std::string Password = "57203941";
    int32_t ConnectTimeout = 2;  // seconds
    int32_t ReadTimeout = 10;    // seconds
    int32_t Interval = 60;       // seconds between periodic polls

    // The largest time limit and interval, in seconds, a user can set.
    static constexpr int32_t kMaxTimeout = 600;
    static constexpr int32_t kMaxInterval = 6000;

    // The poll's target: the port text as an integer (80 when it is none), the limits in
    // milliseconds.
    TUnitTarget Target() const;
};

// One key of the settings file: a text or an integer member of TUnitSettings.
struct TUnitSettingKey {
    const char* Name;                               // "IPV4"
    std::string TUnitSettings::* Text = nullptr;    // for a text key
    int32_t TUnitSettings::* Number = nullptr;      // for an integer key
    int32_t Lowest = 0, Highest = 0;                // an integer key's range (the window's spinners)
};

// The seven keys in the order they are loaded and saved: IPV4, Port, UserName, Pass, Timeout,
// RTimeout, Interval.
const std::array<TUnitSettingKey, 7>& UnitSettingKeys();
// The key of an integer setting.
const TUnitSettingKey& UnitSettingKeyOf(int32_t TUnitSettings::* number);

// The port a port text names: an integer as the settings file reads them, 80 when it is none.
int32_t UnitPort(const std::string& portText);

// Reads one key into `settings` with the settings functions: a key missing from the file is
// first written to it with the value `settings` holds, which then stays.
void LoadUnitSetting(const std::string& fileName, const std::string& section, const TUnitSettingKey& key,
                     TUnitSettings& settings);
// Writes all seven keys in order, one rewrite of the file each; a failure ends the saving at
// the key that failed.
void SaveUnitSettings(const std::string& fileName, const std::string& section, const TUnitSettings& settings);

}  // namespace quorvane
