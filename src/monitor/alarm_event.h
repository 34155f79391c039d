#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// One alarm starting or ending, caused by one poll: handed from the alarm rules to whatever
// tells the user (notification, window) and keeps the record (history).
struct TAlarmEvent {
    std::string Key;      // the settings key of the rule, e.g. "Temp2High", "Input5Change", "UnitSilent"
    bool Started = true;  // true when the condition began, false when it is back to normal
    std::string Title;    // one line, e.g. "Quorvane: Temp 2 above 45 °C" (UTF-8)
    std::string Text;     // the value, the time and the unit's address (UTF-8)
    int64_t AtMs = 0;     // start of the poll that caused it, milliseconds since 1970-01-01 UTC
};

}  // namespace quorvane
