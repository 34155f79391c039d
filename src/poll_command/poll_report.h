#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/poll_outcome.h"
#include "monitor/sensor_poll.h"

namespace quorvane {

// One poll as the headless command reports it: the outcome, the readings it brought (only
// meaningful when it succeeded: a failed poll leaves fields of earlier polls behind) and the
// counters of the run.
struct TPollReport {
    TPollOutcome Outcome;
    TReadingRecord Readings;
    std::optional<std::string> Unit;  // the --unit name
    bool WithCounters = false;         // a run of several polls (--every) reports its counts
    int32_t Polls = 0;
    int32_t Errors = 0;
};

// The number a reading stands for, when the unit sent one: blanks around it, an optional sign,
// decimal digits with an optional fraction and exponent. Anything else (empty text, "ERR",
// "nan", "inf", hexadecimal, a value beyond the double range) gives nullopt: a series that
// cannot be read is left out, never reported as 0.
std::optional<double> ReadingNumber(const std::string& text);

// The shortest text that reads back as the same double ("35.2", "12", "1e+21"): valid both as
// a JSON number and as a Prometheus sample value.
std::string NumberText(double value);

// The input's state, when the unit sent "1" (on) or "0" (off).
std::optional<bool> InputState(const std::string& text);

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by
// `replacement`. The unit's answers are bytes in whatever code page it uses; JSON, Prometheus
// and a terminal all want UTF-8.
std::string Utf8Text(const std::string& text, const std::string& replacement = "\xEF\xBF\xBD");

// Wall-clock milliseconds as "2026-12-08T21:40:01.123Z".
std::string UtcTimeText(int64_t millisecondsSinceEpoch);

}  // namespace quorvane
