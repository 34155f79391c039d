#pragma once

#include <string>

#include "poll_command/poll_report.h"

namespace quorvane {

// The poll for people: a status line, then one line a reading ("temperature 1: 35.2 C"), the
// unit's text as it sent it. A failed poll gives the status line alone (its reason goes to
// standard error). The unit's texts go through TerminalText, so an answer cannot steer the
// terminal.
std::string FormatTextReport(const TPollReport& report);

}  // namespace quorvane
