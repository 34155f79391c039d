#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "monitor/readings.h"
#include "monitor/unit_target.h"

namespace quorvane {

// What one poll came to, for everything that reports on polls (the window, the history, the
// alarms, the headless command).
struct TPollOutcome {
    int32_t Code = -1;          // the HTTP code of the last status line received, -1 for none
    bool Succeeded = false;     // all four answers arrived and were read
    std::string FailureReason;  // one line in plain words; empty when the poll succeeded
    int64_t StartedAtMs = 0;    // wall-clock start, milliseconds since 1970-01-01 UTC
    int64_t DurationMs = 0;     // from start to end on the monotonic clock
};

// One poll with everything it brought: its outcome, the readings it received and which of
// them it reached (a failed poll reaches only those before the failure; the others are empty
// here), and how it counts.
struct TPollResult {
    TPollOutcome Outcome;
    TReadingRecord Readings;
    TReadingSet Reached;
    bool Started = false;  // counts as one poll started
    bool Failed = false;   // counts as one failed poll
    std::exception_ptr Failure;  // what the poll ended with; null when it succeeded
};

// Asks the unit for its four groups of readings. Touches no process-wide state, so it may run
// on any thread. Never throws once the HTTP client exists: a failure is counted and described
// in the result.
//
// Besides the per-read limit, the whole exchange after the connect is bounded by
// PollExchangeLimit(readTimeout), so a unit that trickles bytes just inside the read limit
// cannot hold the caller for longer than that.
TPollResult PollUnit(const TUnitTarget& target);

// One line for a user, for the failure a poll ended with: the exception's own message where it
// says enough ("Connect timed out.", "Read Timeout"), the socket error's text with its code
// ("Connection refused (10061)"), and a short hint where the message alone would puzzle
// ("401 Unauthorized: check user name and password"). `code` is the last status code seen.
std::string DescribePollFailure(const std::exception_ptr& error, int32_t code);

}  // namespace quorvane
