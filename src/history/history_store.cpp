#include "history/history_store.h"

#include <algorithm>

#include "monitor/alarm_rules.h"
#include "rtl/scope_exit.h"

namespace quorvane {

namespace {

constexpr int64_t kTenMinutesMs = 600'000;
constexpr int64_t kHourMs = 3'600'000;
// The lengths of the summary cells kept beside the polls, finest first: each a few times the
// one before, so that a column reads at most a few cells.
constexpr int64_t kLevels[] = {kTenMinutesMs, kHourMs, 6 * kHourMs, 24 * kHourMs};
constexpr int kLevelCount = 4;

// Column stems in the file: "temp1", ..., "input16".
std::string Stem(int field) { return Readings().at(static_cast<size_t>(field)).Column(); }

std::string PollColumns() {
    std::string columns;
    for (int i = 0; i < kHistoryFieldCount; ++i) columns += ", " + Stem(i) + " TEXT";
    for (int i = 0; i < kHistoryFieldCount; ++i) columns += ", " + Stem(i) + "_value REAL";
    return columns;
}

std::string SummaryColumns() {
    std::string columns;
    for (int i = 0; i < kHistoryFieldCount; ++i) {
        columns += ", " + Stem(i) + "_min REAL, " + Stem(i) + "_max REAL, " + Stem(i) + "_sum REAL, " + Stem(i) +
                   "_count INTEGER NOT NULL DEFAULT 0";
    }
    return columns;
}

std::string SummaryNames() {
    std::string names = "level, cell";
    for (int i = 0; i < kHistoryFieldCount; ++i)
        names += ", " + Stem(i) + "_min, " + Stem(i) + "_max, " + Stem(i) + "_sum, " + Stem(i) + "_count";
    return names;
}

std::string InsertPollSql() {
    std::string names = "started_ms, duration_ms, code, failure";
    std::string places = "?1, ?2, ?3, ?4";
    for (int i = 0; i < kHistoryFieldCount; ++i) {
        names += ", " + Stem(i) + ", " + Stem(i) + "_value";
        places += ", ?" + std::to_string(5 + 2 * i) + ", ?" + std::to_string(6 + 2 * i);
    }
    return "INSERT INTO polls(" + names + ") VALUES(" + places + ")";
}

// Widens the summary cell of one level by one poll; a reading without a number leaves the
// cell as it was.
std::string UpsertSummarySql() {
    std::string places = "?1, ?2";
    std::string updates;
    for (int i = 0; i < kHistoryFieldCount; ++i) {
        const std::string place = "?" + std::to_string(3 + i);
        places += ", " + place + ", " + place + ", " + place + ", " + place + " IS NOT NULL";
        const std::string stem = Stem(i);
        for (const char* pick : {"min", "max"}) {
            const std::string column = stem + "_" + pick;
            updates += std::string(updates.empty() ? "" : ", ") + column + " = CASE WHEN " + column +
                       " IS NULL THEN excluded." + column + " WHEN excluded." + column + " IS NULL THEN " + column +
                       " ELSE " + pick + "(" + column + ", excluded." + column + ") END";
        }
        updates += ", " + stem + "_sum = CASE WHEN excluded." + stem + "_sum IS NULL THEN " + stem +
                   "_sum ELSE coalesce(" + stem + "_sum, 0) + excluded." + stem + "_sum END";
        updates += ", " + stem + "_count = " + stem + "_count + excluded." + stem + "_count";
    }
    return "INSERT INTO summaries(" + SummaryNames() + ") VALUES(" + places +
           ") ON CONFLICT(level, cell) DO UPDATE SET " + updates;
}

// One summary cell being added up.
struct TCell {
    int64_t Start = 0;
    std::array<std::optional<double>, kHistoryFieldCount> Min, Max;
    std::array<double, kHistoryFieldCount> Sum{};
    std::array<int64_t, kHistoryFieldCount> Count{};
    bool Empty = true;

    void Add(const TCell& other) {
        Empty = false;
        for (int i = 0; i < kHistoryFieldCount; ++i) {
            if (other.Count[i] == 0) continue;
            Min[i] = Min[i] ? std::min(*Min[i], *other.Min[i]) : other.Min[i];
            Max[i] = Max[i] ? std::max(*Max[i], *other.Max[i]) : other.Max[i];
            Sum[i] += other.Sum[i];
            Count[i] += other.Count[i];
        }
    }
};

// "started_ms, duration_ms, code, failure, volt1, volt1_value, ..." and the reading of one
// such row.
std::string PollSelection() {
    std::string sql = "started_ms, duration_ms, code, failure";
    for (int i = 0; i < kHistoryFieldCount; ++i) sql += ", " + Stem(i) + ", " + Stem(i) + "_value";
    return sql;
}

void ReadPoll(const TSqliteStatement& query, THistoryPoll& poll) {
    poll.StartedAtMs = query.Integer(0);
    poll.DurationMs = query.Integer(1);
    poll.Code = static_cast<int32_t>(query.Integer(2));
    poll.FailureReason = query.Text(3);
    for (int i = 0; i < kHistoryFieldCount; ++i) {
        poll.Values[i] = query.Text(4 + 2 * i);
        poll.Numbers[i] = query.Number(5 + 2 * i);
    }
}

// The times a history can be drawn and exported over: the years 1 to 9999. A file may hold
// any 64-bit time (crafted, or from a clock gone wrong); ranges are kept inside these bounds
// so that their widths and ends never overflow, and such polls are left out.
constexpr int64_t kEarliestMs = -62'135'596'800'000;
constexpr int64_t kLatestMs = 253'402'300'799'999;

int64_t Bounded(int64_t ms) { return std::clamp(ms, kEarliestMs, kLatestMs); }

int64_t FloorTo(int64_t ms, int64_t step) {
    const int64_t cell = ms / step * step;
    return cell > ms ? cell - step : cell;
}

}  // namespace

std::string HistoryFieldName(int field) { return Readings().at(static_cast<size_t>(field)).Key(); }

int HistoryFieldOfKey(const std::string& key) {
    const TReading* reading = ReadingOfAlarmKey(key);
    return reading != nullptr ? reading->Index : -1;
}

THistoryStore::THistoryStore(const std::string& path) : THistoryStore(path, TOptions{}) {}

THistoryStore::THistoryStore(const std::string& path, TOptions options)
    : options_(options), db_(std::make_unique<TSqliteDatabase>(path, true)) {
    sqlite3_busy_timeout(db_->Handle(), options_.BusyTimeoutMs);
    // Reading the layout version first turns a file that is no database into an error here,
    // not at the first poll.
    Migrate();
    // In WAL mode a commit is one append to the log: a crash of the program cannot lose it,
    // and the page may read while a poll writes. NORMAL skips the flush to the platter per
    // commit, which only a power cut could make count.
    TSqliteStatement journal(*db_, "PRAGMA journal_mode=WAL");
    if (!journal.Step() || journal.Text(0).value_or("") != "wal")
        throw EHistoryError("Cannot switch the history to write-ahead logging", SQLITE_CANTOPEN);
    journal.Reset();
    db_->Execute("PRAGMA synchronous=NORMAL");
    // A poll dirties a handful of pages; copying the log back into the file every ~2000 polls
    // rather than every ~200 keeps that flush out of all but a few in ten thousand polls. The
    // log is cut back to 64 MiB after each copy.
    db_->Execute("PRAGMA wal_autocheckpoint=10000");
    db_->Execute("PRAGMA journal_size_limit=67108864");
}

THistoryStore::~THistoryStore() = default;

void THistoryStore::Migrate() {
    TSqliteStatement read(*db_, "PRAGMA user_version");
    read.Step();
    const int64_t version = read.Integer(0);
    read.Reset();
    if (version > kSchemaVersion)
        throw EHistoryError("The history file was written by a newer Quorvane (layout " + std::to_string(version) +
                                ")",
                            SQLITE_CANTOPEN);
    if (version == kSchemaVersion) return;
    // Each step brings one version to the next inside the same transaction, so an interrupted
    // upgrade leaves the file as it was.
    TSqliteTransaction transaction(*db_);
    if (version < 1) {
        db_->Execute("CREATE TABLE polls(id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL, "
                     "duration_ms INTEGER NOT NULL, code INTEGER NOT NULL, failure TEXT" +
                     PollColumns() + ")");
        db_->Execute("CREATE INDEX polls_by_time ON polls(started_ms)");
        db_->Execute("CREATE INDEX failed_polls_by_time ON polls(started_ms) WHERE failure IS NOT NULL");
        db_->Execute("CREATE TABLE events(id INTEGER PRIMARY KEY, poll_id INTEGER NOT NULL REFERENCES polls(id), "
                     "at_ms INTEGER NOT NULL, rule TEXT NOT NULL, started INTEGER NOT NULL, title TEXT NOT NULL, "
                     "body TEXT NOT NULL)");
        db_->Execute("CREATE INDEX events_by_time ON events(at_ms)");
        db_->Execute("CREATE INDEX events_by_poll ON events(poll_id)");
    }
    if (version < 2) {
        // The cells gain sums and counts, for means, and longer lengths; they are made again
        // from the polls.
        db_->Execute("DROP TABLE IF EXISTS summaries");
        db_->Execute("CREATE TABLE summaries(level INTEGER NOT NULL, cell INTEGER NOT NULL" + SummaryColumns() +
                     ", PRIMARY KEY(level, cell)) WITHOUT ROWID");
        RebuildSummaries();
    }
    db_->Execute("PRAGMA user_version=" + std::to_string(kSchemaVersion));
    transaction.Commit();
}

void THistoryStore::RebuildSummaries() {
    std::string sql = "SELECT started_ms";
    for (int i = 0; i < kHistoryFieldCount; ++i) sql += ", " + Stem(i) + "_value";
    // Polls of impossible times (a crafted file) have no cell; they are drawn nowhere either.
    sql += " FROM polls WHERE failure IS NULL AND started_ms BETWEEN ?1 AND ?2 ORDER BY started_ms";
    TSqliteStatement polls(*db_, sql);
    polls.Bind(1, kEarliestMs);
    polls.Bind(2, kLatestMs);
    TSqliteStatement insert(
        *db_, "INSERT INTO summaries(" + SummaryNames() + ") VALUES(?1, ?2" + [] {
            std::string places;
            for (int i = 3; i < 3 + 4 * kHistoryFieldCount; ++i) places += ", ?" + std::to_string(i);
            return places;
        }() + ")");
    // One pass over the polls in time order, one open cell per length.
    std::array<TCell, kLevelCount> open;
    auto flush = [&](int level) {
        if (open[level].Empty) return;
        insert.Bind(1, kLevels[level]);
        insert.Bind(2, open[level].Start);
        for (int i = 0; i < kHistoryFieldCount; ++i) {
            insert.Bind(3 + 4 * i, open[level].Min[i]);
            insert.Bind(4 + 4 * i, open[level].Max[i]);
            if (open[level].Count[i] > 0)
                insert.Bind(5 + 4 * i, open[level].Sum[i]);
            else
                insert.BindNull(5 + 4 * i);
            insert.Bind(6 + 4 * i, open[level].Count[i]);
        }
        insert.Run();
        open[level] = TCell{};
    };
    TCell poll;
    poll.Empty = false;
    while (polls.Step()) {
        poll.Start = polls.Integer(0);
        for (int i = 0; i < kHistoryFieldCount; ++i) {
            poll.Min[i] = poll.Max[i] = polls.Number(1 + i);
            poll.Sum[i] = poll.Min[i].value_or(0);
            poll.Count[i] = poll.Min[i] ? 1 : 0;
        }
        for (int level = 0; level < kLevelCount; ++level) {
            const int64_t cell = FloorTo(poll.Start, kLevels[level]);
            if (!open[level].Empty && open[level].Start != cell) flush(level);
            open[level].Start = cell;
            open[level].Add(poll);
        }
    }
    polls.Reset();
    for (int level = 0; level < kLevelCount; ++level) flush(level);
}

TSqliteStatement& THistoryStore::Statement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end())
        found = statements_.emplace(sql, std::make_unique<TSqliteStatement>(*db_, sql)).first;
    return *found->second;
}

void THistoryStore::Record(const TPollOutcome& outcome, const TReadingRecord& reading,
                           const std::vector<TAlarmEvent>& events) {
    Count();
    try {
        TSqliteTransaction transaction(*db_);
        Insert(outcome, reading, events);
        transaction.Commit();
    } catch (...) {
        count_.reset();  // whatever the rollback left, count again
        throw;
    }
}

void THistoryStore::RecordAll(const PollSource& next, int32_t perTransaction) {
    Count();
    TPollOutcome outcome;
    TReadingRecord reading;
    std::vector<TAlarmEvent> events;
    try {
        bool more = true;
        while (more) {
            TSqliteTransaction transaction(*db_);
            for (int32_t i = 0; i < perTransaction && (more = next(outcome, reading, events)); ++i)
                Insert(outcome, reading, events);
            transaction.Commit();
        }
    } catch (...) {
        count_.reset();
        throw;
    }
}

void THistoryStore::Insert(const TPollOutcome& outcome, const TReadingRecord& reading,
                           const std::vector<TAlarmEvent>& events) {
    std::array<std::optional<double>, kHistoryFieldCount> numbers;
    // The texts are long, and this runs at every poll: they are put together once.
    static const std::string insertSql = InsertPollSql(), summarySql = UpsertSummarySql();
    TSqliteStatement& insert = Statement(insertSql);
    insert.Bind(1, outcome.StartedAtMs);
    insert.Bind(2, outcome.DurationMs);
    insert.Bind(3, static_cast<int64_t>(outcome.Code));
    if (outcome.Succeeded) insert.BindNull(4);
    else insert.Bind(4, std::string_view(outcome.FailureReason.empty() ? "Failed" : outcome.FailureReason));
    for (int i = 0; i < kHistoryFieldCount; ++i) {
        if (!outcome.Succeeded) continue;  // unbound parameters are null
        const TReading& field = Readings()[static_cast<size_t>(i)];
        const std::string& text = field.Of(reading);
        numbers[i] = ReadingValue(field, text);
        insert.Bind(5 + 2 * i, std::string_view(text));
        insert.Bind(6 + 2 * i, numbers[i]);
    }
    insert.Run();
    const int64_t pollId = sqlite3_last_insert_rowid(db_->Handle());

    TSqliteStatement& insertEvent =
        Statement("INSERT INTO events(poll_id, at_ms, rule, started, title, body) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    for (const TAlarmEvent& event : events) {
        insertEvent.Bind(1, pollId);
        insertEvent.Bind(2, event.AtMs);
        insertEvent.Bind(3, std::string_view(event.Key));
        insertEvent.Bind(4, static_cast<int64_t>(event.Started ? 1 : 0));
        insertEvent.Bind(5, std::string_view(event.Title));
        insertEvent.Bind(6, std::string_view(event.Text));
        insertEvent.Run();
    }

    if (outcome.Succeeded) {
        TSqliteStatement& summary = Statement(summarySql);
        for (int64_t level : kLevels) {
            summary.Bind(1, level);
            summary.Bind(2, FloorTo(outcome.StartedAtMs, level));
            for (int i = 0; i < kHistoryFieldCount; ++i) summary.Bind(3 + i, numbers[i]);
            summary.Run();
        }
    }
    *count_ += 1;
    if (*count_ > options_.MaxPolls) Prune();
}

void THistoryStore::Prune() {
    const int64_t excess = std::min<int64_t>(*count_ - options_.MaxPolls, options_.PruneBatch);
    TSqliteStatement& last = Statement("SELECT id FROM polls ORDER BY id LIMIT 1 OFFSET ?1");
    last.Bind(1, excess - 1);
    if (!last.Step()) {
        last.Reset();
        return;
    }
    const int64_t lastId = last.Integer(0);
    last.Reset();
    TSqliteStatement& events = Statement("DELETE FROM events WHERE poll_id <= ?1");
    events.Bind(1, lastId);
    events.Run();
    TSqliteStatement& polls = Statement("DELETE FROM polls WHERE id <= ?1");
    polls.Bind(1, lastId);
    polls.Run();
    *count_ -= sqlite3_changes(db_->Handle());
    // Summary cells wholly older than the oldest poll kept describe nothing any more.
    TSqliteStatement& oldest = Statement("SELECT started_ms FROM polls ORDER BY id LIMIT 1");
    if (oldest.Step()) {
        const int64_t oldestMs = oldest.Integer(0);
        oldest.Reset();
        TSqliteStatement& summaries = Statement("DELETE FROM summaries WHERE level = ?1 AND cell < ?2");
        for (int64_t level : kLevels) {
            summaries.Bind(1, level);
            summaries.Bind(2, FloorTo(oldestMs, level));
            summaries.Run();
        }
    } else {
        oldest.Reset();
    }
}

int64_t THistoryStore::Count() {
    if (!count_) {
        TSqliteStatement& count = Statement("SELECT count(*) FROM polls");
        count.Step();
        count_ = count.Integer(0);
        count.Reset();
    }
    return *count_;
}

std::optional<std::pair<int64_t, int64_t>> THistoryStore::Span() {
    // Apart, each extreme is one step down the time index; together they would scan the table.
    TSqliteStatement& span =
        Statement("SELECT (SELECT min(started_ms) FROM polls), (SELECT max(started_ms) FROM polls)");
    span.Step();
    std::optional<std::pair<int64_t, int64_t>> result;
    if (span.Number(0)) result.emplace(Bounded(span.Integer(0)), Bounded(span.Integer(1)));
    span.Reset();
    return result;
}

std::vector<THistoryBucket> THistoryStore::Buckets(const std::vector<int>& fields, int64_t fromMs, int64_t toMs,
                                                   int32_t columns) {
    std::vector<THistoryBucket> buckets;
    fromMs = Bounded(fromMs);
    toMs = Bounded(toMs);
    if (toMs <= fromMs || columns <= 0 || fields.empty()) return buckets;
    const int64_t width = (toMs - fromMs) / columns;
    int64_t level = 0;
    for (int64_t length : kLevels)
        if (width >= length) level = length;
    std::string sql;
    if (level == 0) {
        sql = "SELECT (started_ms - ?1) * ?3 / (?2 - ?1) AS col, min(started_ms)";
        for (int field : fields) sql += ", min(" + Stem(field) + "_value), max(" + Stem(field) + "_value)";
        sql += " FROM polls WHERE started_ms >= ?1 AND started_ms < ?2 GROUP BY col ORDER BY col";
    } else {
        // The cell that holds fromMs begins before it and belongs to the first column.
        sql = "SELECT max(0, (cell - ?1) * ?3 / (?2 - ?1)) AS col, max(min(cell), ?1)";
        for (int field : fields) sql += ", min(" + Stem(field) + "_min), max(" + Stem(field) + "_max)";
        sql += " FROM summaries WHERE level = ?4 AND cell > ?1 - ?4 AND cell < ?2 GROUP BY col ORDER BY col";
    }
    TSqliteStatement& query = Statement(sql);
    query.Bind(1, fromMs);
    query.Bind(2, toMs);
    query.Bind(3, static_cast<int64_t>(columns));
    if (level != 0) query.Bind(4, level);
    while (query.Step()) {
        THistoryBucket bucket;
        bucket.Column = static_cast<int32_t>(query.Integer(0));
        bucket.FirstMs = query.Integer(1);
        for (size_t i = 0; i < fields.size(); ++i) {
            bucket.Min.push_back(query.Number(2 + 2 * static_cast<int>(i)));
            bucket.Max.push_back(query.Number(3 + 2 * static_cast<int>(i)));
        }
        buckets.push_back(std::move(bucket));
    }
    query.Reset();
    return buckets;
}

std::vector<THistoryMark> THistoryStore::Marks(int64_t fromMs, int64_t toMs, int32_t columns) {
    std::vector<THistoryMark> marks;
    fromMs = Bounded(fromMs);
    toMs = Bounded(toMs);
    if (toMs <= fromMs || columns <= 0) return marks;
    // The bare column beside min() comes from the row holding the minimum: the first reason
    // or title of the column.
    TSqliteStatement& failures = Statement(
        "SELECT (started_ms - ?1) * ?3 / (?2 - ?1) AS col, min(started_ms), failure, count(*) FROM polls "
        "WHERE failure IS NOT NULL AND started_ms >= ?1 AND started_ms < ?2 GROUP BY col ORDER BY col");
    TSqliteStatement& events = Statement(
        "SELECT (at_ms - ?1) * ?3 / (?2 - ?1) AS col, min(at_ms), title, count(*) FROM events "
        "WHERE at_ms >= ?1 AND at_ms < ?2 GROUP BY col ORDER BY col");
    for (TSqliteStatement* query : {&failures, &events}) {
        query->Bind(1, fromMs);
        query->Bind(2, toMs);
        query->Bind(3, static_cast<int64_t>(columns));
        while (query->Step()) {
            marks.push_back(THistoryMark{query->Integer(1), query == &failures, query->Text(2).value_or(""),
                                         static_cast<int32_t>(query->Integer(3))});
        }
        query->Reset();
    }
    return marks;
}

void THistoryStore::ForEachPoll(int64_t fromMs, int64_t toMs, const std::function<void(const THistoryPoll&)>& visit) {
    TSqliteStatement& query = Statement(
        "SELECT " + PollSelection() + " FROM polls WHERE started_ms >= ?1 AND started_ms < ?2 ORDER BY started_ms, id");
    query.Bind(1, fromMs);
    query.Bind(2, toMs);
    const TScopeExit resetAtEnd([&query] { query.Reset(); });
    THistoryPoll poll;
    while (query.Step()) {
        ReadPoll(query, poll);
        visit(poll);
    }
}

std::vector<TAlarmEvent> THistoryStore::Events(int64_t fromMs, int64_t toMs) {
    TSqliteStatement& query = Statement(
        "SELECT rule, started, title, body, at_ms FROM events WHERE at_ms >= ?1 AND at_ms < ?2 ORDER BY at_ms, id");
    query.Bind(1, fromMs);
    query.Bind(2, toMs);
    std::vector<TAlarmEvent> events;
    while (query.Step()) {
        events.push_back(TAlarmEvent{query.Text(0).value_or(""), query.Integer(1) != 0, query.Text(2).value_or(""),
                                     query.Text(3).value_or(""), query.Integer(4)});
    }
    query.Reset();
    return events;
}

void THistoryStore::Segments(int64_t fromMs, int64_t toMs, int levels, std::vector<TSegment>& out) {
    if (fromMs >= toMs) return;
    for (int level = levels - 1; level >= 0; --level) {
        const int64_t length = kLevels[level];
        const int64_t first = FloorTo(fromMs + length - 1, length);
        const int64_t last = FloorTo(toMs, length);
        if (first < last) {
            Segments(fromMs, first, level, out);
            out.push_back(TSegment{length, first, last});
            Segments(last, toMs, level, out);
            return;
        }
    }
    out.push_back(TSegment{0, fromMs, toMs});
}

std::vector<THistoryStatistics> THistoryStore::Statistics(const std::vector<int>& fields, int64_t fromMs,
                                                          int64_t toMs) {
    std::vector<THistoryStatistics> result(fields.size());
    fromMs = Bounded(fromMs);
    toMs = Bounded(toMs);
    if (fields.empty() || toMs <= fromMs) return result;
    std::string fromPolls, fromCells;
    for (int field : fields) {
        const std::string value = Stem(field) + "_value";
        fromPolls += (fromPolls.empty() ? "SELECT " : ", ") +
                     ("min(" + value + "), max(" + value + "), sum(" + value + "), count(" + value + ")");
        const std::string stem = Stem(field);
        fromCells += (fromCells.empty() ? "SELECT " : ", ") +
                     ("min(" + stem + "_min), max(" + stem + "_max), sum(" + stem + "_sum), sum(" + stem + "_count)");
    }
    fromPolls += " FROM polls WHERE started_ms >= ?1 AND started_ms < ?2";
    fromCells += " FROM summaries WHERE level = ?3 AND cell >= ?1 AND cell < ?2";
    std::vector<double> sums(fields.size());
    std::vector<TSegment> segments;
    Segments(fromMs, toMs, kLevelCount, segments);
    for (const TSegment& segment : segments) {
        TSqliteStatement& query = Statement(segment.Level == 0 ? fromPolls : fromCells);
        query.Bind(1, segment.FromMs);
        query.Bind(2, segment.ToMs);
        if (segment.Level != 0) query.Bind(3, segment.Level);
        query.Step();
        for (size_t i = 0; i < fields.size(); ++i) {
            const int column = 4 * static_cast<int>(i);
            const int64_t count = query.Integer(column + 3);
            if (count == 0) continue;
            THistoryStatistics& into = result[i];
            const double low = *query.Number(column), high = *query.Number(column + 1);
            into.Min = into.Min ? std::min(*into.Min, low) : low;
            into.Max = into.Max ? std::max(*into.Max, high) : high;
            sums[i] += query.Number(column + 2).value_or(0);
            into.Count += count;
        }
        query.Reset();
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (result[i].Count == 0) continue;
        // Rounding can put the mean of equal values a hair outside them.
        result[i].Mean = std::clamp(sums[i] / static_cast<double>(result[i].Count), *result[i].Min, *result[i].Max);
    }

    // The newest poll that succeeded usually has every number; the others are looked for
    // cell by cell, newest first, so a reading that never was a number costs a few cells.
    TSqliteStatement& newest = Statement("SELECT " + PollSelection() +
                                         " FROM polls WHERE started_ms >= ?1 AND started_ms < ?2 AND failure IS NULL "
                                         "ORDER BY started_ms DESC, id DESC LIMIT 1");
    newest.Bind(1, fromMs);
    newest.Bind(2, toMs);
    if (newest.Step()) {
        THistoryPoll poll;
        ReadPoll(newest, poll);
        for (size_t i = 0; i < fields.size(); ++i) {
            if (!poll.Numbers[fields[i]]) continue;
            result[i].Last = poll.Numbers[fields[i]];
            result[i].LastText = poll.Values[fields[i]].value_or("");
            result[i].LastAtMs = poll.StartedAtMs;
        }
    }
    newest.Reset();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (result[i].Count > 0 && !result[i].Last) LastNumberAt(fields[i], fromMs, toMs, kLevelCount, result[i]);
    }
    return result;
}

std::optional<int64_t> THistoryStore::LastNumberAt(int field, int64_t fromMs, int64_t toMs, int levels,
                                                   THistoryStatistics& into) {
    const std::string stem = Stem(field);
    std::vector<TSegment> segments;
    Segments(fromMs, toMs, levels, segments);
    for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
        if (segment->Level == 0) {
            TSqliteStatement& query = Statement("SELECT started_ms, " + stem + ", " + stem +
                                                "_value FROM polls WHERE started_ms >= ?1 AND "
                                                "started_ms < ?2 AND " +
                                                stem + "_value IS NOT NULL ORDER BY started_ms DESC, id DESC LIMIT 1");
            query.Bind(1, segment->FromMs);
            query.Bind(2, segment->ToMs);
            std::optional<int64_t> found;
            if (query.Step()) {
                found = query.Integer(0);
                into.LastAtMs = *found;
                into.LastText = query.Text(1).value_or("");
                into.Last = query.Number(2);
            }
            query.Reset();
            if (found) return found;
            continue;
        }
        TSqliteStatement& query =
            Statement("SELECT cell FROM summaries WHERE level = ?3 AND cell >= ?1 AND cell < ?2 AND " + stem +
                      "_count > 0 ORDER BY cell DESC LIMIT 1");
        query.Bind(1, segment->FromMs);
        query.Bind(2, segment->ToMs);
        query.Bind(3, segment->Level);
        std::optional<int64_t> cell;
        if (query.Step()) cell = query.Integer(0);
        query.Reset();
        if (!cell) continue;
        const int finer =
            static_cast<int>(std::find(std::begin(kLevels), std::end(kLevels), segment->Level) - std::begin(kLevels));
        if (auto found = LastNumberAt(field, *cell, *cell + segment->Level, finer, into)) return found;
    }
    return std::nullopt;
}

std::optional<THistoryPoll> THistoryStore::Nearest(int64_t atMs, int64_t fromMs, int64_t toMs) {
    std::optional<THistoryPoll> nearest;
    atMs = Bounded(atMs);
    // Asked at every move of the reading cursor: the texts are put together once.
    static const std::string beforeSql = "SELECT " + PollSelection() +
                                         " FROM polls WHERE started_ms >= ?1 AND started_ms <= ?2 "
                                         "ORDER BY started_ms DESC, id DESC LIMIT 1";
    static const std::string afterSql = "SELECT " + PollSelection() +
                                        " FROM polls WHERE started_ms > ?1 AND started_ms < ?2 "
                                        "ORDER BY started_ms, id LIMIT 1";
    TSqliteStatement& before = Statement(beforeSql);
    TSqliteStatement& after = Statement(afterSql);
    before.Bind(1, fromMs);
    before.Bind(2, atMs);
    after.Bind(1, atMs);
    after.Bind(2, toMs);
    for (TSqliteStatement* query : {&before, &after}) {
        if (query->Step()) {
            THistoryPoll poll;
            ReadPoll(*query, poll);
            if (!nearest || poll.StartedAtMs - atMs < atMs - nearest->StartedAtMs) nearest = std::move(poll);
        }
        query->Reset();
    }
    return nearest;
}

std::vector<THistoryOccurrence> THistoryStore::Occurrences(int64_t fromMs, int64_t toMs, size_t limit) {
    std::vector<THistoryOccurrence> newestFirst;
    TSqliteStatement& failures = Statement(
        "SELECT started_ms, failure FROM polls WHERE failure IS NOT NULL AND started_ms >= ?1 AND started_ms < ?2 "
        "ORDER BY started_ms DESC, id DESC LIMIT ?3");
    std::string sql = "SELECT e.at_ms, e.rule, e.started, e.title, p.failure";
    for (int i = 0; i < kHistoryFieldCount; ++i) sql += ", p." + Stem(i);
    sql +=
        " FROM events e JOIN polls p ON p.id = e.poll_id WHERE e.at_ms >= ?1 AND e.at_ms < ?2 "
        "ORDER BY e.at_ms DESC, e.id DESC LIMIT ?3";
    TSqliteStatement& events = Statement(sql);
    for (TSqliteStatement* query : {&failures, &events}) {
        query->Bind(1, fromMs);
        query->Bind(2, toMs);
        query->Bind(3, static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX)));
        while (query->Step()) {
            THistoryOccurrence occurrence;
            occurrence.AtMs = query->Integer(0);
            if (query == &failures) {
                occurrence.Title = occurrence.Detail = query->Text(1).value_or("");
            } else {
                occurrence.Failure = false;
                occurrence.Key = query->Text(1).value_or("");
                occurrence.Started = query->Integer(2) != 0;
                occurrence.Title = query->Text(3).value_or("");
                occurrence.Field = HistoryFieldOfKey(occurrence.Key);
                occurrence.Detail = occurrence.Field >= 0 ? query->Text(5 + occurrence.Field).value_or("")
                                                          : query->Text(4).value_or("");
            }
            newestFirst.push_back(std::move(occurrence));
        }
        query->Reset();
    }
    // A failure and an event of the same poll: the failure first, as it caused the event.
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [](const auto& a, const auto& b) {
        return a.AtMs != b.AtMs ? a.AtMs > b.AtMs : !a.Failure && b.Failure;
    });
    if (newestFirst.size() > limit) newestFirst.resize(limit);
    return {newestFirst.rbegin(), newestFirst.rend()};
}

}  // namespace quorvane
