#pragma once

#include <string>
#include <utility>
#include <vector>

#include "monitor/alarm_event.h"
#include "monitor/alarm_rules.h"

namespace quorvane {

// The variables an alarm command finds in its environment for one event:
//   QUORVANE_ALARM  the rule's key ("Temp2High", "Input5On", "UnitSilent")
//   QUORVANE_STATE  "start" or "end"
//   QUORVANE_VALUE  the reading as the unit sent it in the poll of the event (empty for the
//                   silent unit)
//   QUORVANE_LIMIT  the limit as typed (empty where there is none)
//   QUORVANE_UNIT   the unit's address
//   QUORVANE_TIME   the poll's start in ISO 8601 with the local offset, "2024-03-12T14:02:11+01:00"
// The values are data, never a command line; a NUL, which an environment cannot carry, is
// left out.
std::vector<std::pair<std::string, std::string>> AlarmCommandEnvironment(const TAlarmEvent& event,
                                                                         const TAlarmRules& rules,
                                                                         const TReadingRecord& reading,
                                                                         const std::string& unitAddress);

// "2024-03-12T14:02:11+01:00" for milliseconds since 1970 in the local time zone.
std::string IsoLocalTime(int64_t atMs);

}  // namespace quorvane
