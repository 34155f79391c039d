#include "history/history_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <sstream>

#include "history/history_csv.h"

#include "support/temp_dir.h"

namespace quorvane {
namespace {

TPollOutcome Good(int64_t atMs) { return TPollOutcome{200, true, "", atMs, 12}; }

TReadingRecord Values(double temperature) {
    TReadingRecord reading;
    for (int i = 1; i <= 3; ++i) {
        reading.Volt(i) = "12.0";
        reading.Temp(i) = std::to_string(temperature + i);
        reading.Fan(i) = "1800";
    }
    for (int i = 1; i <= 16; ++i) reading.Input(i) = i % 2 ? "1" : "0";
    return reading;
}

TEST(HistoryStoreTest, KeepsPollsValuesAsSentAndEvents) {
    testing::TempDir directory;
    THistoryStore store(directory.File("h.sqlite3"));
    TReadingRecord reading = Values(20);
    reading.Temp1 = " +25.5 ";
    reading.Temp2 = "N/A";
    reading.Fan3 = "1e999";
    const TAlarmEvent event{"Temp2High", true, "Quorvane: Temp 2 above 45 \xC2\xB0""C", "47 at noon", 1000};
    store.Record(Good(1000), reading, {event});
    store.Record(TPollOutcome{401, false, "401 Unauthorized: check user name and password", 2000, 5}, reading);

    std::vector<THistoryPoll> polls;
    store.ForEachPoll(0, 3000, [&](const THistoryPoll& poll) { polls.push_back(poll); });
    ASSERT_EQ(polls.size(), 2u);
    EXPECT_EQ(polls[0].Values[kHistoryTempField], " +25.5 ");
    EXPECT_EQ(polls[0].Numbers[kHistoryTempField], 25.5);
    EXPECT_EQ(polls[0].Values[kHistoryTempField + 1], "N/A");
    EXPECT_FALSE(polls[0].Numbers[kHistoryTempField + 1]);
    EXPECT_FALSE(polls[0].Numbers[kHistoryFanField + 2]);
    EXPECT_EQ(polls[0].Numbers[kHistoryInputField], 1.0);
    EXPECT_FALSE(polls[0].FailureReason);
    EXPECT_EQ(polls[1].Code, 401);
    EXPECT_EQ(polls[1].FailureReason, "401 Unauthorized: check user name and password");
    EXPECT_FALSE(polls[1].Values[0]) << "a failed poll stores no stale values";

    const std::vector<TAlarmEvent> events = store.Events(0, 3000);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Title, event.Title);
    EXPECT_EQ(events[0].Text, event.Text);
    EXPECT_EQ(events[0].Key, event.Key);

    const std::vector<THistoryMark> marks = store.Marks(0, 3000, 10);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_TRUE(marks[0].Failure);
    EXPECT_EQ(marks[0].AtMs, 2000);
    EXPECT_EQ(marks[1].Title, event.Title);
}

// Per-column extremes against a plain computation over the same random polls, both for a
// range read from the polls themselves and for one read from the hourly summaries (where a
// poll counts in the column of its hour's start).
TEST(HistoryStoreTest, ColumnExtremesMatchBruteForce) {
    testing::TempDir directory;
    THistoryStore store(directory.File("h.sqlite3"));
    std::mt19937_64 random(7);
    struct Sample { int64_t atMs; std::optional<double> value; };
    std::vector<Sample> samples;
    const int64_t day = 86'400'000;
    for (int i = 0; i < 3000; ++i) {
        // Most polls in the first hour, the rest spread over ten days.
        const int64_t atMs = i < 2000 ? static_cast<int64_t>(random() % 3'600'000)
                                      : static_cast<int64_t>(random() % (10 * day));
        TReadingRecord reading = Values(0);
        const double value = static_cast<double>(static_cast<int64_t>(random() % 20001) - 10000) / 100;
        reading.Temp1 = random() % 10 == 0 ? "--" : std::to_string(value);
        store.Record(Good(atMs), reading);
        samples.push_back({atMs, ReadingNumber(reading.Temp1)});
    }
    struct Case { int64_t fromMs, toMs; int32_t columns; int64_t cellMs; };
    for (const Case& range : {Case{0, 3'600'000, 97, 1}, Case{day / 3, 10 * day, 53, 3'600'000}}) {
        std::map<int32_t, std::pair<double, double>> expected;
        for (const Sample& sample : samples) {
            const int64_t cell = sample.atMs / range.cellMs * range.cellMs;
            if (!sample.value || cell + range.cellMs <= range.fromMs || cell >= range.toMs) continue;
            const int32_t column = static_cast<int32_t>(
                std::max<int64_t>(0, (cell - range.fromMs) * range.columns / (range.toMs - range.fromMs)));
            auto [entry, added] = expected.try_emplace(column, *sample.value, *sample.value);
            entry->second.first = std::min(entry->second.first, *sample.value);
            entry->second.second = std::max(entry->second.second, *sample.value);
        }
        const std::vector<THistoryBucket> buckets =
            store.Buckets({kHistoryTempField}, range.fromMs, range.toMs, range.columns);
        std::map<int32_t, std::pair<double, double>> actual;
        for (const THistoryBucket& bucket : buckets) {
            ASSERT_LT(bucket.Column, range.columns);
            if (bucket.Min[0]) actual[bucket.Column] = {*bucket.Min[0], *bucket.Max[0]};
        }
        EXPECT_EQ(actual, expected) << "cell " << range.cellMs;
    }
}

// A file can hold any 64-bit time. Drawing "everything kept" asks for the span and then for
// the range up to its end plus one; nothing on the way may overflow (the sanitizer tree
// halts on it).
TEST(HistoryStoreTest, CraftedExtremeTimesDrawAndExportWithoutOverflow) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    THistoryStore store(path);
    store.Record(Good(1'765'000'000'000), Values(20));
    {
        TSqliteDatabase crafted(path, false);
        TSqliteStatement insert(crafted, "INSERT INTO polls(started_ms, duration_ms, code, failure, temp1, temp1_value) "
                                         "VALUES(?1, 0, 200, ?2, '5', 5)");
        TSqliteStatement event(crafted, "INSERT INTO events(poll_id, at_ms, rule, started, title, body) "
                                        "VALUES(1, ?1, 'Temp1High', 1, 't', 'b')");
        for (const int64_t extreme : {INT64_MIN, INT64_MAX}) {
            insert.Bind(1, extreme);
            insert.Bind(2, std::string_view("crafted"));
            insert.Run();
            event.Bind(1, extreme);
            event.Run();
        }
    }
    const auto span = store.Span();
    ASSERT_TRUE(span);
    EXPECT_GT(span->first, INT64_MIN);
    EXPECT_LT(span->second, INT64_MAX);
    const int64_t toMs = span->second + 1;
    for (const int32_t columns : {1, 800}) {
        EXPECT_FALSE(store.Buckets({kHistoryTempField}, span->first, toMs, columns).empty());
        EXPECT_FALSE(store.Buckets({kHistoryTempField}, INT64_MIN, INT64_MAX, columns).empty());
        store.Marks(span->first, toMs, columns);
        store.Marks(INT64_MIN, INT64_MAX, columns);
    }
    std::ostringstream csv;
    EXPECT_EQ(WriteHistoryCsv(store, INT64_MIN, INT64_MAX, csv, [](int64_t) { return 720; }), 2);
}

TEST(HistoryStoreTest, KeepsOnlyTheNewestPollsUpToTheBound) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    {
        THistoryStore store(path, {.MaxPolls = 50, .PruneBatch = 7, .BusyTimeoutMs = 100});
        for (int i = 0; i < 120; ++i)
            store.Record(Good(i * 60'000), Values(i), {TAlarmEvent{"UnitSilent", true, "t", "x", i * 60'000}});
        EXPECT_EQ(store.Count(), 50);
    }
    THistoryStore reopened(path, {.MaxPolls = 50, .PruneBatch = 7, .BusyTimeoutMs = 100});
    EXPECT_EQ(reopened.Count(), 50);
    EXPECT_EQ(reopened.Span()->first, 70 * 60'000);
    EXPECT_EQ(reopened.Events(0, 70 * 60'000).size(), 0u) << "events leave with their polls";
    // Hourly summaries of the pruned hour are gone too: the first hour starts at poll 60.
    const auto buckets = reopened.Buckets({kHistoryTempField}, 0, 100 * 3'600'000LL, 100);
    ASSERT_FALSE(buckets.empty());
    EXPECT_EQ(*buckets[0].Min[0], 61.0);
}

// Random polls over four days (a few failed, some readings not numbers, one reading a number
// only in its first hours) against plain sums over many ranges, ragged ends included; then
// the same file as the previous layout left it, upgraded on opening.
TEST(HistoryStoreTest, StatisticsMatchBruteForceAlsoAfterAnUpgrade) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    std::mt19937_64 random(11);
    struct Sample {
        int64_t atMs;
        bool failed;
        std::array<std::string, kHistoryFieldCount> texts;
    };
    std::vector<Sample> samples;
    const int64_t start = 1'765'000'000'000, day = 86'400'000;
    {
        THistoryStore store(path);
        for (int64_t atMs = start; atMs < start + 4 * day; atMs += 20'000 + static_cast<int64_t>(random() % 200'000)) {
            TReadingRecord reading = Values(static_cast<double>(random() % 400) / 10);
            reading.Fan1 = random() % 7 == 0 ? "N/A" : std::to_string(1000 + random() % 3000);
            reading.Temp3 = atMs < start + day / 8 ? std::to_string(random() % 50) + ".5" : "--";
            const bool failed = random() % 25 == 0;
            store.Record(failed ? TPollOutcome{-1, false, "Read Timeout", atMs, 10} : Good(atMs), reading);
            Sample sample{atMs, failed, {}};
            for (int i = 0; i < kHistoryFieldCount; ++i) sample.texts[i] = Readings()[i].Of(reading);
            samples.push_back(sample);
        }
    }
    const std::vector<int> fields = {kHistoryTempField, kHistoryTempField + 2, kHistoryFanField, kHistoryInputField};
    auto check = [&](THistoryStore& store, int64_t fromMs, int64_t toMs) {
        const std::vector<THistoryStatistics> stats = store.Statistics(fields, fromMs, toMs);
        for (size_t f = 0; f < fields.size(); ++f) {
            THistoryStatistics expected;
            double sum = 0;
            for (const Sample& sample : samples) {
                const auto number = ReadingValue(Readings()[fields[f]], sample.texts[fields[f]]);
                if (sample.failed || !number || sample.atMs < fromMs || sample.atMs >= toMs) continue;
                expected.Min = std::min(expected.Min.value_or(*number), *number);
                expected.Max = std::max(expected.Max.value_or(*number), *number);
                sum += *number;
                ++expected.Count;
                expected.Last = number;
                expected.LastText = sample.texts[fields[f]];
                expected.LastAtMs = sample.atMs;
            }
            SCOPED_TRACE("field " + std::to_string(fields[f]) + " over " + std::to_string(fromMs - start) + ".." +
                         std::to_string(toMs - start));
            ASSERT_EQ(stats[f].Count, expected.Count);
            EXPECT_EQ(stats[f].Min, expected.Min);
            EXPECT_EQ(stats[f].Max, expected.Max);
            if (expected.Count > 0) {
                EXPECT_NEAR(*stats[f].Mean, sum / static_cast<double>(expected.Count), 1e-6);
            }
            EXPECT_EQ(stats[f].Last, expected.Last);
            EXPECT_EQ(stats[f].LastText, expected.LastText);
            EXPECT_EQ(stats[f].LastAtMs, expected.LastAtMs);
        }
    };
    auto checkRanges = [&](THistoryStore& store) {
        check(store, start - day, start + 5 * day);
        for (int round = 0; round < 40; ++round) {
            const int64_t a = start - day / 10 + static_cast<int64_t>(random() % static_cast<uint64_t>(4 * day));
            const int64_t length =
                static_cast<int64_t>(random() % static_cast<uint64_t>(round % 2 ? day / 2 : 3 * day));
            check(store, a, a + length);
        }
    };
    {
        THistoryStore store(path);
        checkRanges(store);
    }
    {
        // The previous layout: extremes only, per ten minutes and per hour.
        TSqliteDatabase database(path, false);
        database.Execute("DROP TABLE summaries");
        database.Execute(
            "CREATE TABLE summaries(level INTEGER NOT NULL, cell INTEGER NOT NULL, temp1_min REAL, "
            "temp1_max REAL, PRIMARY KEY(level, cell)) WITHOUT ROWID");
        database.Execute("PRAGMA user_version=1");
    }
    THistoryStore upgraded(path);
    checkRanges(upgraded);
}

TEST(HistoryStoreTest, NearestPollAndTheListOfFailuresAndEvents) {
    testing::TempDir directory;
    THistoryStore store(directory.File("h.sqlite3"));
    store.Record(Good(10'000), Values(1));
    store.Record(TPollOutcome{-1, false, "Connect timed out.", 20'000, 2000}, Values(2),
                 {TAlarmEvent{"UnitSilent", true, "Quorvane: unit silent", "x", 20'000}});
    store.Record(Good(30'000), Values(3), {TAlarmEvent{"Temp2High", true, "Quorvane: Temp 2 above 3", "x", 30'000}});

    EXPECT_EQ(store.Nearest(14'000, 0, 40'000)->StartedAtMs, 10'000);
    EXPECT_EQ(store.Nearest(15'000, 0, 40'000)->StartedAtMs, 10'000) << "the earlier of two as near";
    EXPECT_EQ(store.Nearest(16'000, 0, 40'000)->FailureReason, "Connect timed out.");
    EXPECT_EQ(store.Nearest(99'000, 0, 40'000)->Values[kHistoryTempField + 1], std::to_string(3.0 + 2));
    EXPECT_FALSE(store.Nearest(14'000, 11'000, 20'000)) << "nothing in the range";

    const std::vector<THistoryOccurrence> all = store.Occurrences(0, 40'000, 10);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(all[0].Failure);
    EXPECT_EQ(all[0].Detail, "Connect timed out.");
    EXPECT_EQ(all[1].Key, "UnitSilent");
    EXPECT_EQ(all[1].Detail, "Connect timed out.") << "a silent unit: why its poll failed";
    EXPECT_EQ(all[2].Field, kHistoryTempField + 1);
    EXPECT_EQ(all[2].Detail, std::to_string(3.0 + 2)) << "the reading as sent";
    const std::vector<THistoryOccurrence> newest = store.Occurrences(0, 40'000, 2);
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(newest[0].Key, "UnitSilent");
    EXPECT_EQ(HistoryFieldOfKey("Input16Change"), kHistoryInputField + 15);
}

// A writer killed at an arbitrary moment: every poll it had reported committed is there, and
// the file is sound.
TEST(HistoryStoreTest, SurvivesKillDuringWrites) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    int acknowledgements[2];
    ASSERT_EQ(pipe(acknowledgements), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(acknowledgements[0]);
        try {
            THistoryStore store(path);
            for (int i = 0; i < 20000; ++i) {
                store.Record(Good(i), Values(i), {TAlarmEvent{"Fan2Stopped", true, "t", "x", i}});
                const char one = 1;
                if (write(acknowledgements[1], &one, 1) != 1) break;
            }
        } catch (...) {
        }
        _exit(0);
    }
    close(acknowledgements[1]);
    int64_t acknowledged = 0;
    char buffer[64];
    while (acknowledged < 500) {
        const ssize_t got = read(acknowledgements[0], buffer, sizeof buffer);
        if (got <= 0) break;
        acknowledged += got;
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(acknowledgements[0]);
    ASSERT_GE(acknowledged, 500);

    TSqliteDatabase database(path, false);
    TSqliteStatement check(database, "PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
    check.Reset();
    THistoryStore store(path);
    EXPECT_GE(store.Count(), acknowledged);
    EXPECT_EQ(static_cast<int64_t>(store.Events(0, 1 << 30).size()), store.Count());
}

}  // namespace
}  // namespace quorvane
