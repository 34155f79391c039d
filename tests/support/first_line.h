#pragma once

#include <chrono>
#include <string>

namespace quorvane::testing {

// Reads from fd until the first line break or until `limit` has passed, for helper processes
// that announce themselves in their first line (the simulator its port, dbus-daemon its
// address). Returns what was read, the line break included when one came.
std::string ReadFirstLine(int fd, std::chrono::milliseconds limit);

}  // namespace quorvane::testing
