#pragma once

#include <functional>
#include <optional>
#include <string>

#include "monitor/unit_target.h"
#include "poll_command/poll_command_options.h"

namespace quorvane {

// Looks an environment variable up; nullopt when it is not set.
using TEnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// The process's own environment.
std::optional<std::string> ProcessEnvironment(const std::string& name);

// Receives a warning that does not stop the poll (one line, without the program's name).
using TWarningSink = std::function<void(const std::string&)>;

// Puts the unit's target together: the window's defaults, then the settings file (read only,
// never written), then the options. The address has no default: it comes from the file or
// --address. The password comes from --password-file (its first line, which must not be
// blank; a file others may read is warned about), else QUORVANE_PASSWORD, else the file.
// Raises EPollUsageError naming the option or key at fault.
TUnitTarget ResolveUnitTarget(const TPollCommandOptions& options,
                              const TEnvironmentLookup& environment = ProcessEnvironment,
                              const TWarningSink& warn = {});

}  // namespace quorvane
