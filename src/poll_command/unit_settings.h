#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "poll_command/poll_command_options.h"

namespace quorvane {

// Everything one poll needs to reach the unit, in the units PollStatus takes.
struct TUnitSettings {
    std::string Address;
    int32_t Port = 80;
    std::string UserName = "admin";
    std::string Password = "57203941";
    int32_t ConnectTimeoutMs = 2000;
    int32_t ReadTimeoutMs = 10000;
};

// Looks an environment variable up; nullopt when it is not set.
using TEnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// The process's own environment.
std::optional<std::string> ProcessEnvironment(const std::string& name);

// Puts the unit's settings together: the window's defaults, then the settings file (read only,
// never written), then the options. The password comes from --password-file, else
// QUORVANE_PASSWORD, else the file. Raises EPollUsageError naming the option or key at fault.
TUnitSettings ResolveUnitSettings(const TPollCommandOptions& options,
                                  const TEnvironmentLookup& environment = ProcessEnvironment);

}  // namespace quorvane
