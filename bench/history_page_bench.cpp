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
#include <fstream>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "window/history_page.h"

namespace {

std::string ResidentMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return line.substr(6);
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_history_page FILE\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    quorvane::THistoryStore store(argv[1]);
    const auto span = store.Span();
    if (!span) {
        std::fprintf(stderr, "%s holds no polls\n", argv[1]);
        return 1;
    }
    std::printf("%s: %lld polls\n", argv[1], static_cast<long long>(store.Count()));
    quorvane::THistoryPage page;
    page.resize(457, 207);
    page.SetStoreSource([&] { return &store; });
    page.SetClock([&] { return span->second; });
    page.show();
    QApplication::processEvents();
    QImage image(page.size(), QImage::Format_ARGB32);
    const char* const names[] = {"last hour", "24 hours", "7 days", "30 days", "everything"};
    for (int range = 0; range < 5; ++range) {
        std::vector<double> times;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            page.RangeChoice->setCurrentIndex(range);
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
