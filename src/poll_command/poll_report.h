#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/poll_outcome.h"
#include "monitor/readings.h"

namespace quorvane {

// One poll as the headless command reports it: the outcome, the readings it brought (reported
// only when it succeeded) and the counters of the run. What a reading's text stands for is
// the catalogue's rule (ReadingNumber, InputOn): a series that cannot be read is left out,
// never reported as 0.
struct TPollReport {
    TPollOutcome Outcome;
    TReadingRecord Readings;
    std::optional<std::string> Unit;  // the --unit name
    bool WithCounters = false;         // a run of several polls (--every) reports its counts
    int32_t Polls = 0;
    int32_t Errors = 0;
};

// The shortest text that reads back as the same double ("35.2", "12", "1e+21"): valid both as
// a JSON number and as a Prometheus sample value.
std::string NumberText(double value);

// The text as a terminal or a journal may show it without being steered by it: UTF-8 whatever
// bytes came in, with every control character shown as '?': C0 and DEL, and C1 (U+0080 to
// U+009F) whether encoded or as the single byte an 8-bit terminal would obey. The text
// report and every line on standard error go through it.
std::string TerminalText(const std::string& text);

// Wall-clock milliseconds as "2026-12-08T21:40:01.123Z".
std::string UtcTimeText(int64_t millisecondsSinceEpoch);

}  // namespace quorvane
