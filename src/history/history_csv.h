#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "history/local_time.h"

namespace quorvane {

class THistoryStore;

// "2026-12-08T22:35:00.250+01:00".
std::string IsoTimeText(int64_t ms, int32_t offsetMinutes);

// The polls of [fromMs, toMs) as comma-separated values: one header row, CRLF line ends,
// fields quoted only when they must be, values exactly as the unit sent them (UTF-8).
// Returns the number of polls written.
int64_t WriteHistoryCsv(THistoryStore& store, int64_t fromMs, int64_t toMs, std::ostream& out,
                        const UtcOffsetFunction& offset = LocalUtcOffsetMinutes);

}  // namespace quorvane
