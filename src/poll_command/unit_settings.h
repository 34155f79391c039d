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

// Puts the unit's target together: the window's defaults, then the settings file (read only,
// never written), then the options. The address has no default: it comes from the file or
// --address. The password comes from --password-file, else QUORVANE_PASSWORD, else the file.
// Raises EPollUsageError naming the option or key at fault.
TUnitTarget ResolveUnitTarget(const TPollCommandOptions& options,
                              const TEnvironmentLookup& environment = ProcessEnvironment);

}  // namespace quorvane
