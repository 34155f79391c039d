#pragma once

#include <iosfwd>
#include <string>

namespace quorvane {

// How the monitor keeps watching on its own, section [Watch] of the settings file:
//   StartWatching=1   poll from the start, as if "Get Status" had been pressed
//   KeepInTray=1      closing the window hides it in the tray and polling goes on
// Like [Alarms], the section is written only when the user changes one of them, so a program
// that never used them keeps the settings file it always had. (Starting at login is the
// desktop's autostart entry itself, not a key here.)
struct TWatchSettings {
    static constexpr const char* kSection = "Watch";

    bool StartWatching = false;
    bool KeepInTray = false;
    bool operator==(const TWatchSettings&) const = default;

    // Reads without writing anything; a missing file or section means both off. Values that do
    // not parse are reported on `warnings` and ignored. Raises EFOpenError when the file exists
    // but cannot be read.
    static TWatchSettings Load(const std::string& fileName, std::ostream& warnings);
    // Writes both keys into the section; the rest of the file stays as it is. Raises
    // EFCreateError when the file cannot be written.
    static void Save(const std::string& fileName, const TWatchSettings& settings);
};

}  // namespace quorvane
