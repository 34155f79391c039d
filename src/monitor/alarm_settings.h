#pragma once

#include <array>
#include <iosfwd>
#include <string>

#include "monitor/alarm_rules.h"

namespace quorvane {

// The alarms in the settings file, section [Alarms], one key a limit:
//   Temp2Low=10  Temp2High=45  Temp2Enabled=0  Temp2Delay=3   (the nine readings: Temp1..3,
//   Fan1..3, Volt1..3; Delay: polls in a row beyond a limit before its alarm starts)
//   Input5=Change | On | Off
//   UnitSilentEnabled=1  UnitSilentPolls=3
//   Command=/absolute/path/of/a/program   (run at each start and end of an alarm)
// The section exists only once the user has defined or changed an alarm, so that a program
// that never used alarms keeps the settings file it always had.
// What the file got wrong about each reading's row, for showing beside it ("" for a row it
// got right).
using TAlarmRowNotes = std::array<std::string, kAnalogueReadingCount>;

class TAlarmSettings {
public:
    static constexpr const char* kSection = "Alarms";

    // Reads the rules without writing anything (a missing file or section means no alarms).
    // Unknown keys and values that do not parse are reported on `warnings`, one line each, and
    // otherwise ignored; so are a low limit not below its high one (kept, but the row watches
    // nothing) and an earlier section of the same name in any letter case (only the last one
    // is read, as for every section). Those that concern a reading's row are also put in
    // `rowNotes`. Raises EFOpenError when the file exists but cannot be read.
    static TAlarmRules Load(const std::string& fileName, std::ostream& warnings, TAlarmRowNotes* rowNotes = nullptr);

    // Writes the rules into the section and rewrites the file; the other sections, unknown keys
    // and malformed values the rules do not replace stay as they are. A rule removed or changed
    // takes every line that set it along, so that no earlier line of the key comes back at the
    // next start. Raises EFCreateError when the file cannot be written.
    static void Save(const std::string& fileName, const TAlarmRules& rules);
};

}  // namespace quorvane
