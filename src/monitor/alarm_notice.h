#pragma once

#include <string>
#include <vector>

#include "monitor/alarm_event.h"

namespace quorvane {

// What one desktop notification tells: the alarms that started in one poll, or those that
// ended in it. Six limits crossed at once make one notification that lists them, not six.
struct TAlarmNotice {
    bool Started = true;
    std::string Title;               // "Quorvane: Temp 2 above 45 °C", or "Quorvane: 3 alarms"
    std::string Body;                // one line per alarm with its value, then when and where
    std::vector<std::string> Keys;   // the events' keys, in order
    // Those of them that are states with an end (an input's change is a moment and has none).
    std::vector<std::string> Lasting;
};

// At most two notices for one poll's events: the starts, then the ends. A single event keeps
// its own title and text.
std::vector<TAlarmNotice> GroupAlarmEvents(const std::vector<TAlarmEvent>& events);

}  // namespace quorvane
