#pragma once

#include <string>

namespace quorvane::platform {

// Starting the monitor when the user logs in, through the desktop's autostart folder (XDG
// Autostart): an entry `quorvane.desktop` in $XDG_CONFIG_HOME/autostart (~/.config/autostart
// when the variable is unset or not an absolute path). The entry's presence is the setting.

// The entry's path; empty when neither XDG_CONFIG_HOME nor HOME says where it goes.
std::string LoginAutostartPath();

bool LoginAutostartEnabled();

// The entry's text: it runs `executable --watch` in `folder` (where the settings file and the
// history are), both absolute paths. Empty, with the reason in `error`, for a path a desktop
// entry cannot carry (not UTF-8, or with control characters).
std::string LoginAutostartEntry(const std::string& executable, const std::string& folder, std::string& error);

// Writes the entry (creating the folder) or removes it. Both return an empty text on success,
// else the reason in plain words.
std::string EnableLoginAutostart(const std::string& executable, const std::string& folder);
std::string DisableLoginAutostart();

}  // namespace quorvane::platform
