#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace quorvane::testing {

// A helper process that announces itself in its first line of output (the simulator its
// port, dbus-daemon its address).
struct AnnouncedProcess {
    pid_t pid = -1;         // -1 when it could not be started
    std::string firstLine;  // what it printed up to its first line break, the break included
    std::string error;      // why it could not be started
};

// Starts args (args[0] looked up on PATH) with its standard output on a pipe, and reads that
// until the first line break or until `limit` has passed. With quietErrors its standard error
// goes to /dev/null.
AnnouncedProcess StartAnnouncedProcess(std::vector<std::string> args, bool quietErrors,
                                       std::chrono::milliseconds limit);

}  // namespace quorvane::testing
