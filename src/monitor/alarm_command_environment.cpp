#include "monitor/alarm_command_environment.h"

#include <algorithm>
#include <ctime>

namespace quorvane {

namespace {

std::string WithoutNul(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

}  // namespace

std::string IsoLocalTime(int64_t atMs) {
    const std::time_t seconds = static_cast<std::time_t>(atMs / 1000);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char buffer[40];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &parts);
    // "+0100" becomes "+01:00", the extended form that goes with the rest.
    if (length < 5) return std::string(buffer, length);
    return std::string(buffer, length - 2) + ":" + std::string(buffer + length - 2, 2);
}

std::vector<std::pair<std::string, std::string>> AlarmCommandEnvironment(const TAlarmEvent& event,
                                                                         const TAlarmRules& rules,
                                                                         const TReadingRecord& reading,
                                                                         const std::string& unitAddress) {
    std::string value;
    std::string limit;
    if (const TReading* named = ReadingOfAlarmKey(event.Key)) {
        value = named->Of(reading);
        if (named->Group->Analogue()) {
            const TReadingLimits& limits = rules.Readings[static_cast<size_t>(named->Index)];
            const bool high = event.Key.compare(named->Key().size(), std::string::npos, "High") == 0;
            const std::optional<TAlarmLimit>& side = high ? limits.High : limits.Low;
            if (side) limit = side->Text;
        }
    }
    return {
        {"QUORVANE_ALARM", WithoutNul(event.Key)},
        {"QUORVANE_STATE", event.Started ? "start" : "end"},
        {"QUORVANE_VALUE", WithoutNul(value)},
        {"QUORVANE_LIMIT", WithoutNul(limit)},
        {"QUORVANE_UNIT", WithoutNul(unitAddress)},
        {"QUORVANE_TIME", IsoLocalTime(event.AtMs)},
    };
}

}  // namespace quorvane
