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
// fields quoted only when they must be, values as the unit sent them, converted from the
// active code page to UTF-8 as the window shows them (U+FFFD for bytes it cannot read). A
// text that begins with "=", "+", "-", "@", TAB or CR and is no number (ReadingNumber) gets a
// leading "'", so that a spreadsheet never runs it as a formula.
// Returns the number of polls written.
int64_t WriteHistoryCsv(THistoryStore& store, int64_t fromMs, int64_t toMs, std::ostream& out,
                        const UtcOffsetFunction& offset = LocalUtcOffsetMinutes);

// The failed polls and alarm events of [fromMs, toMs) as comma-separated values, in the same
// form: Time, Reading (empty for a failed poll, "Unit" for an alarm about the unit), Kind
// ("Failed poll", "Alarm start", "Alarm end"), Value or reason (as sent), Title. Returns the
// number of rows written.
int64_t WriteHistoryEventsCsv(THistoryStore& store, int64_t fromMs, int64_t toMs, std::ostream& out,
                              const UtcOffsetFunction& offset = LocalUtcOffsetMinutes);

}  // namespace quorvane
