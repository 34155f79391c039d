// history-fill: writes a history file of N made-up polls ending now, for looking at the History
// page with years of data and for measuring it (the file is what the monitor would have kept).
//
//   history-fill FILE COUNT [INTERVAL_SECONDS]      (default interval 60)

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_store.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    if (argc < 3) {
        std::fprintf(stderr, "usage: history-fill FILE COUNT [INTERVAL_SECONDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const long long count = std::atoll(argv[2]);
    const long long intervalMs = (argc > 3 ? std::atoll(argv[3]) : 60) * 1000;
    if (count <= 0 || intervalMs <= 0) {
        std::fprintf(stderr, "history-fill: COUNT and INTERVAL_SECONDS must be positive\n");
        return 2;
    }
    const long long nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    try {
        THistoryStore store(path);
        long long made = 0;
        char text[32];
        auto number = [&](const char* format, double value) {
            std::snprintf(text, sizeof text, format, value);
            return std::string(text);
        };
        store.RecordAll([&](TPollOutcome& outcome, TReadingRecord& reading, std::vector<TAlarmEvent>& events) {
            if (made == count) return false;
            const long long atMs = nowMs - (count - made) * intervalMs;
            const double minutes = static_cast<double>(atMs / 1000) / 60.0;
            const double hours = minutes / 60.0;
            const double noise = std::sin(static_cast<double>(made) * 12.9898) * 0.3;
            events.clear();
            outcome = TPollOutcome{200, true, "", atMs, 20};
            if (made % 997 == 500) outcome = TPollOutcome{-1, false, "Connect timed out.", atMs, 2000};
            for (int i = 1; i <= 3; ++i) {
                reading.Temp(i) = number("%.1f", 30 + 5 * i + 6 * std::sin(hours / (3 * i) + i) +
                                                     2 * std::sin(minutes / (4 + 3 * i)) + noise +
                                                     (made % 4999 == 0 && i == 2 ? 30 : 0));
                reading.Fan(i) = number("%.0f", 1800 + 400 * i + 300 * std::sin(hours / (5 + i)) +
                                                    150 * std::sin(minutes / (6 + i)) + 20 * noise);
                reading.Volt(i) = number("%.2f", (i == 1 ? 12 : i == 2 ? 5 : 3.3) * (1 + 0.02 * std::sin(hours / 7 + i)));
            }
            for (int i = 1; i <= 16; ++i)
                reading.Input(i).assign(1, (static_cast<long long>(minutes / (3 * i)) + i) % 2 ? '1' : '0');
            if (made % 4999 == 0) events.push_back(TAlarmEvent{"Temp2High", true, "Quorvane: Temp 2 above 60 \xC2\xB0""C",
                                                               reading.Temp2, atMs});
            ++made;
            return true;
        });
        std::printf("%s: %lld polls kept\n", path.c_str(), static_cast<long long>(store.Count()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "history-fill: %s\n", error.what());
        return 1;
    }
    return 0;
}
