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

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by
// `replacement`. The unit's answers are bytes in whatever code page it uses; JSON, Prometheus
// and a terminal all want UTF-8.
std::string Utf8Text(const std::string& text, const std::string& replacement = "\xEF\xBF\xBD");

// Wall-clock milliseconds as "2026-12-08T21:40:01.123Z".
std::string UtcTimeText(int64_t millisecondsSinceEpoch);

}  // namespace quorvane
