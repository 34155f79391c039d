#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/sqlite_handle.h"
#include "monitor/alarm_event.h"
#include "monitor/poll_outcome.h"
#include "monitor/readings.h"

namespace quorvane {

// A field of the history is a reading's index in the catalogue (Temp 1..3, Fan 1..3,
// Volt 1..3, Input 1..16); the file keeps each reading in the columns named after it.
constexpr int kHistoryFieldCount = kReadingCount;
constexpr int kHistoryTempField = FirstReadingOf(TReadingGroup::Temp);
constexpr int kHistoryFanField = FirstReadingOf(TReadingGroup::Fan);
constexpr int kHistoryVoltField = FirstReadingOf(TReadingGroup::Volt);
constexpr int kHistoryInputField = FirstReadingOf(TReadingGroup::Input);
// "Temp1", ..., "Input16": the CSV header and the chart's keys.
std::string HistoryFieldName(int field);

// The field a rule's settings key is about ("Temp2High", "Input16Change"); -1 for none
// ("UnitSilent").
int HistoryFieldOfKey(const std::string& key);

// One stored poll. A failed poll keeps no values: what the record still holds then comes
// from an earlier poll, and plotting it again would draw a reading nobody took.
struct THistoryPoll {
    int64_t StartedAtMs = 0;
    int64_t DurationMs = 0;
    int32_t Code = -1;
    std::optional<std::string> FailureReason;
    std::array<std::optional<std::string>, kHistoryFieldCount> Values;
    std::array<std::optional<double>, kHistoryFieldCount> Numbers;
};

// The smallest and largest reading of each asked-for field among the polls that fall in one
// pixel column; nothing for a field none of them had a number for.
struct THistoryBucket {
    int32_t Column = 0;
    int64_t FirstMs = 0;  // the earliest poll (or summary cell) in the column
    std::vector<std::optional<double>> Min, Max;
};

// A failed poll or an alarm event on the time axis; one per pixel column and kind, with the
// number of them the column holds.
struct THistoryMark {
    int64_t AtMs = 0;
    bool Failure = true;  // else an alarm event
    std::string Title;    // the failure reason, or the event's title
    int32_t Count = 1;
};

// What the polls of a stretch of time said of one field: the extremes, the mean and the newest
// number.
struct THistoryStatistics {
    int64_t Count = 0;  // polls with a number for it
    std::optional<double> Min, Max, Mean;
    std::optional<double> Last;
    std::string LastText;  // the newest number as the unit sent it
    int64_t LastAtMs = 0;
};

// A failed poll or an alarm event, for a list of them.
struct THistoryOccurrence {
    int64_t AtMs = 0;
    bool Failure = true;  // else an alarm event
    std::string Key;      // the event's rule ("Temp2High"); empty for a failed poll
    int Field = -1;       // the reading the rule is about, if any
    bool Started = true;  // the alarm began (else it ended)
    std::string Title;    // the event's title, or the reason the poll failed
    // The reading's value at that poll as the unit sent it, or the reason that poll failed.
    std::string Detail;
};

// Every poll of the monitor in one SQLite file: written once per poll in its own transaction,
// read in per-pixel summaries for drawing and row by row for export. Not thread-safe: the
// window owns it on its one thread. Failures throw EHistoryError.
class THistoryStore {
public:
    struct TOptions {
        int64_t MaxPolls = 2'000'000;  // about four years at one poll a minute
        int32_t PruneBatch = 200;      // oldest polls deleted per poll beyond the bound
        int32_t BusyTimeoutMs = 100;   // how long a write waits for another process's lock
    };

    // Opens or creates the file, bringing its layout up to date.
    explicit THistoryStore(const std::string& path);
    THistoryStore(const std::string& path, TOptions options);
    ~THistoryStore();
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;

    // Keeps one poll (with the alarm events it caused) in one transaction.
    void Record(const TPollOutcome& outcome, const TReadingRecord& reading,
                const std::vector<TAlarmEvent>& events = {});

    // Many polls at once, for imports and for filling files to measure with: `next` fills in
    // one poll at a time until it returns false; commits every `perTransaction` polls.
    using PollSource = std::function<bool(TPollOutcome&, TReadingRecord&, std::vector<TAlarmEvent>&)>;
    void RecordAll(const PollSource& next, int32_t perTransaction = 10'000);

    int64_t Count();
    // Start times of the oldest and the newest poll kept; nothing when there is none. Times
    // outside the years 1 to 9999 count as those years' ends, as do the ranges of Buckets and
    // Marks, so a range's width and its end plus one never overflow.
    std::optional<std::pair<int64_t, int64_t>> Span();

    // Per-pixel-column minimum and maximum of `fields` over [fromMs, toMs), `columns` wide.
    // Columns at least ten minutes wide read the extremes kept beside the polls per ten
    // minutes, hour, six hours or day (the longest that fits a column), so the cost does not
    // grow with the polls in the range; a poll then counts in the column where its cell begins.
    std::vector<THistoryBucket> Buckets(const std::vector<int>& fields, int64_t fromMs, int64_t toMs,
                                        int32_t columns);
    std::vector<THistoryMark> Marks(int64_t fromMs, int64_t toMs, int32_t columns);

    // Every poll of [fromMs, toMs) in time order, without holding them all in memory.
    void ForEachPoll(int64_t fromMs, int64_t toMs, const std::function<void(const THistoryPoll&)>& visit);
    std::vector<TAlarmEvent> Events(int64_t fromMs, int64_t toMs);

    // Minimum, mean, maximum and newest number of each of `fields` over [fromMs, toMs), exact,
    // from whole summary cells where they fit and from the polls at the ragged ends only.
    std::vector<THistoryStatistics> Statistics(const std::vector<int>& fields, int64_t fromMs, int64_t toMs);
    // The poll of [fromMs, toMs) nearest in time to `atMs` (the earlier one of two as near).
    std::optional<THistoryPoll> Nearest(int64_t atMs, int64_t fromMs, int64_t toMs);
    // The failed polls and alarm events of [fromMs, toMs) in time order; the newest `limit`
    // of them when there are more.
    std::vector<THistoryOccurrence> Occurrences(int64_t fromMs, int64_t toMs, size_t limit);

    // Layout version this program writes (PRAGMA user_version). Version 2 keeps sums and counts
    // beside the extremes and adds six-hour and daily cells.
    static constexpr int32_t kSchemaVersion = 2;

private:
    TSqliteStatement& Statement(const std::string& sql);
    void Migrate();
    void Insert(const TPollOutcome& outcome, const TReadingRecord& reading, const std::vector<TAlarmEvent>& events);
    void Prune();
    void RebuildSummaries();
    struct TSegment {
        int64_t Level = 0;  // 0: the polls themselves
        int64_t FromMs = 0, ToMs = 0;
    };
    // [fromMs, toMs) as runs of whole cells, coarsest first where they fit, polls at the ends.
    static void Segments(int64_t fromMs, int64_t toMs, int levels, std::vector<TSegment>& out);
    std::optional<int64_t> LastNumberAt(int field, int64_t fromMs, int64_t toMs, int levels, THistoryStatistics& into);

    TOptions options_;
    std::unique_ptr<TSqliteDatabase> db_;
    std::map<std::string, std::unique_ptr<TSqliteStatement>> statements_;
    std::optional<int64_t> count_;
};

}  // namespace quorvane
