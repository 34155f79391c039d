#pragma once

#include <string>

#include "poll_command/poll_report.h"

namespace quorvane {

// The poll for scripts: one JSON object on one line. Readings appear only for a poll that
// succeeded, as numbers (inputs as true/false), null where the unit sent no number; a failed
// poll carries "error" with the reason instead.
std::string FormatJsonReport(const TPollReport& report);

}  // namespace quorvane
