// The history file's cost against its size: keeping one poll (median and 99th percentile of
// single commits, as the window makes them), reading one range as per-pixel extremes (the
// History page's three temperatures, the History window's 25 readings) and the statistics of
// every reading over a range (the window's legend), with 10 k, 100 k, 1 M and 2 M polls kept
// at one poll a minute. The filled files are made once and
// reused from $QUORVANE_BENCH_DATA (default /tmp/quorvane-history-bench); the first run of
// the 2 M case takes a few minutes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace {

using namespace quorvane;

constexpr int64_t kNowMs = 1'765'000'000'000;
constexpr int64_t kIntervalMs = 60'000;

TReadingRecord Reading(int64_t n) {
    TReadingRecord reading;
    const double hours = static_cast<double>(n) / 60;
    for (int i = 1; i <= 3; ++i) {
        reading.Temp(i) = std::to_string(30 + 5 * i + 6 * std::sin(hours / (3 * i))).substr(0, 4);
        reading.Fan(i) = std::to_string(1800 + 400 * i + (n * 7919 % 300));
        reading.Volt(i) = std::to_string(12.0 + 0.2 * std::sin(hours / 7 + i)).substr(0, 5);
    }
    for (int i = 1; i <= 16; ++i) reading.Input(i).assign(1, (n / (60 * i)) % 2 ? '1' : '0');
    return reading;
}

// A file holding `rows` polls, one a minute, ending at kNowMs.
std::string FilledFile(int64_t rows) {
    const char* folder = std::getenv("QUORVANE_BENCH_DATA");
    const std::filesystem::path directory = folder ? folder : "/tmp/quorvane-history-bench";
    std::filesystem::create_directories(directory);
    const std::string path = (directory / ("polls-" + std::to_string(rows) + ".sqlite3")).string();
    THistoryStore store(path);
    if (store.Count() >= rows) return path;
    int64_t made = store.Count();
    store.RecordAll([&](TPollOutcome& outcome, TReadingRecord& reading, std::vector<TAlarmEvent>&) {
        if (made == rows) return false;
        const int64_t atMs = kNowMs - (rows - made) * kIntervalMs;
        outcome = made % 997 == 500 ? TPollOutcome{-1, false, "Connect timed out.", atMs, 2000}
                                    : TPollOutcome{200, true, "", atMs, 20};
        reading = Reading(made++);
        return true;
    });
    return path;
}

std::vector<int> AllFields() {
    std::vector<int> fields;
    for (int i = 0; i < kHistoryFieldCount; ++i) fields.push_back(i);
    return fields;
}

std::pair<int64_t, int64_t> Range(THistoryStore& store, int64_t index) {
    static const int64_t spans[] = {3'600'000, 86'400'000, 7 * 86'400'000LL, 30 * 86'400'000LL};
    const auto span = store.Span();
    const int64_t toMs = span->second + 1;
    return {index < 4 ? toMs - spans[index] : span->first, toMs};
}

void BM_RecordOnePoll(benchmark::State& state) {
    THistoryStore store(FilledFile(state.range(0)));
    std::vector<double> micros;
    // On at the file's own pace, so that the file stays as a monitor would have left it.
    int64_t atMs = store.Span()->second;
    const TReadingRecord reading = Reading(1);
    for (auto _ : state) {
        atMs += kIntervalMs;
        const auto start = std::chrono::steady_clock::now();
        store.Record(TPollOutcome{200, true, "", atMs, 20}, reading);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["over_1ms"] = static_cast<double>(std::count_if(micros.begin(), micros.end(), [](double us) { return us > 1000; }));
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_RecordOnePoll)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Arg(2'000'000)->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

// Range index: 0 last hour, 1 day, 2 week, 3 thirty days, 4 everything. 430 pixel columns,
// the three temperatures, plus the failure and alarm marks.
void BM_RangeQuery(benchmark::State& state) {
    const int64_t rows = state.range(0);
    THistoryStore store(FilledFile(rows));
    const auto [fromMs, toMs] = Range(store, state.range(1));
    size_t buckets = 0;
    for (auto _ : state) {
        buckets = store.Buckets({kHistoryTempField, kHistoryTempField + 1, kHistoryTempField + 2}, fromMs, toMs, 430)
                      .size();
        benchmark::DoNotOptimize(store.Marks(fromMs, toMs, 430));
    }
    state.counters["columns"] = static_cast<double>(buckets);
}
BENCHMARK(BM_RangeQuery)->ArgsProduct({{10'000, 100'000, 1'000'000, 2'000'000}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);

// The History window at 1600 pixels with all four groups shown.
void BM_WindowRangeQuery(benchmark::State& state) {
    THistoryStore store(FilledFile(state.range(0)));
    const auto [fromMs, toMs] = Range(store, state.range(1));
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Buckets(AllFields(), fromMs, toMs, 1600));
        benchmark::DoNotOptimize(store.Marks(fromMs, toMs, 1600));
    }
}
BENCHMARK(BM_WindowRangeQuery)->ArgsProduct({{1'000'000, 2'000'000}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMillisecond);

// Minimum, mean, maximum and last value of all 25 readings over a range (floor: 100 ms for
// everything at 2 M polls).
void BM_Statistics(benchmark::State& state) {
    THistoryStore store(FilledFile(state.range(0)));
    const auto [fromMs, toMs] = Range(store, state.range(1));
    // A stretch that begins and ends between cells, as a zoomed view does.
    const int64_t ragged = state.range(1) == 4 ? 0 : 137'000;
    for (auto _ : state) benchmark::DoNotOptimize(store.Statistics(AllFields(), fromMs + ragged, toMs - ragged));
}
BENCHMARK(BM_Statistics)->ArgsProduct({{1'000'000, 2'000'000}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
