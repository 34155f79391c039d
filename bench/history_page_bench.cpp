// The History page with a large history: for each range, the time from choosing it to the
// chart drawn into an image (median of five), then the process's resident memory.
//
//   bench_history_page FILE        (a file made by history-fill or bench_history_bench)

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "history_bench_file.h"
#include "window/history_page.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const auto filled = OpenFilledFile(argc, argv, "bench_history_page FILE");
    if (!filled) return 2;
    quorvane::THistoryStore& store = *filled;
    const auto span = store.Span();
    quorvane::THistoryPage page;
    page.resize(457, 207);
    page.SetStoreSource([&] { return &store; });
    page.SetClock([&] { return span->second; });
    page.show();
    QApplication::processEvents();
    QImage image(page.size(), QImage::Format_ARGB32);
    using quorvane::THistoryPage;
    const char* const names[] = {"last hour", "24 hours", "7 days", "30 days", "everything"};
    const int ranges[] = {THistoryPage::LastHour, THistoryPage::LastDay, THistoryPage::LastWeek,
                          THistoryPage::LastMonth, THistoryPage::Everything};
    for (int range = 0; range < 5; ++range) {
        std::vector<double> times;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            page.RangeChoice->setCurrentIndex(ranges[range]);
            page.Refresh();
            QPainter painter(&image);
            page.render(&painter);
            painter.end();
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("%-10s  request to drawn: median %.1f ms, slowest %.1f ms\n", names[range], times[2], times[4]);
    }
    std::printf("resident memory: %s\n", ResidentMemory().c_str());
    return 0;
}
