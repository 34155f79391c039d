#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace quorvane {

class THistoryStore;

// Minutes local time lies ahead of UTC at a moment (+60 for Central European winter time).
using UtcOffsetFunction = std::function<int32_t(int64_t ms)>;
// The C library's zone, daylight saving included, at each moment.
int32_t LocalUtcOffsetMinutes(int64_t ms);

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

}  // namespace quorvane
