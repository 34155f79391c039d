#pragma once

#include <string>

#include "poll_command/poll_report.h"

namespace quorvane {

// The poll in Prometheus's text exposition format 0.0.4, as node_exporter's textfile collector
// and promtool read it. The state of the poll is always there; the readings only after a poll
// that succeeded (stale values would otherwise look current), and a reading the unit did not
// send as a number is left out rather than written as 0. No sample carries a timestamp: the
// textfile collector refuses them.
std::string FormatPrometheusExposition(const TPollReport& report);

}  // namespace quorvane
