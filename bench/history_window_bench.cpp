// The History window over a large history at 1600 by 900 with all four groups shown: the time
// from a zoom or pan step to the chart drawn, over a fixed mix of steps (wheel turns and drags
// in and out, pans by keys and by dragging, back, home, ranges from the list), then the time to
// the legend and the event list that follow it, the statistics of everything, and the
// process's resident memory.
//
//   bench_history_window FILE [STEPS] [PNG]     (a file made by history-fill; default 240 steps;
//                                                PNG: a picture of the window at the end)
//
// Floors: median at most 50 ms and slowest at most 150 ms from step to chart, statistics of
// everything at most 100 ms, at 2,000,000 polls.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history_bench_file.h"
#include "window/history_chart.h"
#include "window/history_window.h"

namespace {

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-28s median %6.1f ms  90th %6.1f ms  slowest %6.1f ms  (%zu)\n", what, times[times.size() / 2],
                times[times.size() * 9 / 10], times.back(), times.size());
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const auto filled = OpenFilledFile(argc, argv, "bench_history_window FILE [STEPS] [PNG]");
    if (!filled) return 2;
    using namespace quorvane;
    THistoryStore& store = *filled;
    const auto span = store.Span();
    const int steps = argc > 2 ? std::atoi(argv[2]) : 240;

    THistoryWindow window{std::string()};
    window.SetClock([&] { return span->second; });
    window.SetStoreSource([&] { return &store; });
    for (QCheckBox* check : window.GroupChecks) check->setChecked(true);
    window.resize(1600, 900);
    window.show();
    QApplication::processEvents();
    THistoryChart& chart = *window.Chart;
    std::printf("chart %d x %d\n", chart.width(), chart.height());

    std::mt19937 random(1);
    auto share = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    std::vector<double> loaded, drawn, settled;
    // Start from everything, as a user looking for something in years of polls would.
    window.View().Choose(THistoryView::kEverything, {span->first, span->second});
    chart.OnHome();
    QApplication::processEvents();
    for (int step = 0; step < steps; ++step) {
        const int64_t from = chart.FromMs(), to = chart.ToMs();
        const auto at = [&](double part) { return from + static_cast<int64_t>(part * static_cast<double>(to - from)); };
        const int kind = static_cast<int>(random() % 100);
        QElapsedTimer timer;
        timer.start();
        if (kind < 30) {
            chart.OnZoom(share(0.3, 0.8), at(share(0.1, 0.9)), false);  // wheel or plus, in
        } else if (kind < 45) {
            chart.OnZoom(share(1.3, 3), at(share(0.1, 0.9)), false);  // out
        } else if (kind < 55) {
            const double a = share(0.05, 0.8);
            chart.OnZoomTo(at(a), at(a + share(0.05, 0.2)));  // a drag across the chart
        } else if (kind < 85) {
            chart.OnPan(static_cast<int64_t>(share(-0.3, 0.3) * static_cast<double>(to - from)), false);
        } else if (kind < 92) {
            chart.OnBack();
        } else {
            chart.OnHome();
        }
        loaded.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        chart.repaint();
        drawn.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
        settled.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    Report("step to chart read", loaded);
    Report("step to chart drawn", drawn);
    Report("step to legend and events", settled);

    std::vector<int> fields;
    for (int i = 0; i < kHistoryFieldCount; ++i) fields.push_back(i);
    std::vector<double> statistics;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        store.Statistics(fields, span->first, span->second + 1);
        statistics.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    Report("statistics of everything", statistics);
    std::printf("resident memory: %s\n", ResidentMemory().c_str());
    if (argc > 3) {
        // Everything, then the last six hours with the reading cursor in the middle.
        chart.OnHome();
        QApplication::processEvents();
        const QString picture = QString::fromLocal8Bit(argv[3]);
        window.grab().save(picture);
        window.ShowSpan(span->second - 6 * 3'600'000, span->second + 1);
        chart.SetCursorAt(span->second - 3 * 3'600'000);
        QApplication::processEvents();
        window.grab().save(QString(picture).replace(QStringLiteral(".png"), QStringLiteral("-zoomed.png")));
    }
    return 0;
}
