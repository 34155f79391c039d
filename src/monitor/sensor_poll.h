#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace quorvane {

class TStringList;

// The last values the unit sent, as text exactly as it sent them once the item prefix is
// gone; nothing is trimmed or converted here (the window decides what a lamp shows).
// Fields a failed poll did not reach keep the value of the last poll that reached them.
struct TReadingRecord {
    std::string Volt1, Volt2, Volt3;
    std::string Temp1, Temp2, Temp3;
    std::string Fan1, Fan2, Fan3;
    std::string Input1, Input2, Input3, Input4, Input5, Input6, Input7, Input8;
    std::string Input9, Input10, Input11, Input12, Input13, Input14, Input15, Input16;

    // 1-based access by number, for loops over a group: Volt(1..3), Temp(1..3), Fan(1..3),
    // Input(1..16). A number outside the group's range throws std::out_of_range.
    std::string& Volt(int index);
    std::string& Temp(int index);
    std::string& Fan(int index);
    std::string& Input(int index);
    const std::string& Volt(int index) const;
    const std::string& Temp(int index) const;
    const std::string& Fan(int index) const;
    const std::string& Input(int index) const;
};

// Process-wide state of the monitor, touched only from the user-interface thread.
extern TReadingRecord Reading;
extern int32_t PollCount;   // polls started
extern int32_t ErrorCount;  // polls that failed

// Asks the unit for its four groups of readings and stores them in Reading. Returns the
// HTTP code of the last status line received (-1 when none). Never throws once the client
// exists: every failure adds one to ErrorCount. The time limits are in milliseconds.
//
// Besides the per-read limit, the whole exchange after the connect is bounded by
// PollExchangeLimit(readTimeout), so a unit that trickles bytes just inside the read limit
// cannot hold the monitor for longer than that.
int32_t PollStatus(const std::string& host, const std::string& userName, const std::string& password,
                   int32_t port, int32_t connectTimeout, int32_t readTimeout);

// PollStatus, handing back the exception the poll ended with (null when it succeeded).
int32_t PollStatusCapturing(const std::string& host, const std::string& userName, const std::string& password,
                            int32_t port, int32_t connectTimeout, int32_t readTimeout, std::exception_ptr& failure);

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
// is read, so a missing item (EStringListError) leaves the earlier fields updated.
void ParseVolt(TStringList& answer, TReadingRecord& record = Reading);
void ParseTemp(TStringList& answer, TReadingRecord& record = Reading);
void ParseFan(TStringList& answer, TReadingRecord& record = Reading);
void ParseInput(TStringList& answer, TReadingRecord& record = Reading);

}  // namespace quorvane
