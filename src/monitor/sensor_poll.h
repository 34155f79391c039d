#pragma once

#include <cstdint>
#include <string>

#include "monitor/poll_outcome.h"
#include "monitor/readings.h"

namespace quorvane {

class TStringList;

// Process-wide state of the monitor, touched only from the user-interface thread.
extern TReadingRecord Reading;
extern int32_t PollCount;   // polls started
extern int32_t ErrorCount;  // polls that failed

// Adds one poll's result to the process-wide state: the fields it reached overwrite Reading
// (the others keep the value of the last poll that reached them), and it counts in PollCount
// and, when it failed, in ErrorCount.
void ApplyPollResult(const TPollResult& result);

// Asks the unit for its four groups of readings (PollUnit) and applies the result to the
// process-wide state (ApplyPollResult). Returns the HTTP code of the last
// status line received (-1 when none). Never throws once the client exists. The time limits
// are in milliseconds. Only the user-interface thread may call it.
int32_t PollStatus(const std::string& host, const std::string& userName, const std::string& password,
                   int32_t port, int32_t connectTimeout, int32_t readTimeout);

// The overall time, in milliseconds, that the four requests of one poll may take together:
// four times the read limit plus 2000 ms; a read limit of 0 (no limit per read) counts as
// 600 s, the largest the window offers.
int32_t PollExchangeLimit(int32_t readTimeout);

// Cuts the answer list down to the comma text between the first "<html>" and the first
// "</html>" after it (exact case), splitting it again into items.
void ExtractHtmlBody(TStringList& answer);

// The item without its leading prefix when it starts with the prefix ignoring case (by the
// locale's comparison), else the whole item.
std::string StripPrefix(const std::string& prefix, const std::string& item);

// Parse one group's answer list into the record. Each field is stored as soon as its item
// is read, so a missing item (EStringListError) leaves the earlier fields updated; `reached`
// (when given) gains each field stored.
void ParseReadingGroup(TStringList& answer, TReadingGroup group, TReadingRecord& record,
                       TReadingSet* reached = nullptr);
void ParseVolt(TStringList& answer, TReadingRecord& record = Reading);
void ParseTemp(TStringList& answer, TReadingRecord& record = Reading);
void ParseFan(TStringList& answer, TReadingRecord& record = Reading);
void ParseInput(TStringList& answer, TReadingRecord& record = Reading);

}  // namespace quorvane
