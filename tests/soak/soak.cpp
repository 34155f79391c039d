// soak: thousands of polls of tools/unit-sim in one process, to show that the monitor's poll
// neither leaks memory nor descriptors over a long day on the factory floor.
//
// Two simulators run side by side, one keeping its connections open and one closing after
// every answer; the polls alternate between them so that both paths are warm before the
// first measurement. Resident memory (VmRSS) and the number of open descriptors are taken
// after the first `--checkpoint` polls and again at the end; the run fails when memory grew
// by more than the tolerance, when any descriptor is left over, or when any poll failed.
//
//   soak [--keep-alive N] [--close N] [--checkpoint N] [--rss-tolerance-kib N]
//        [--fd-tolerance N] [--read-timeout MS] [--progress N]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "monitor/sensor_poll.h"
#include "support/open_descriptors.h"
#include "support/unit_sim_process.h"

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed blocks in a quarantine of up to 256 MiB by default, which would
// look exactly like the growth this program hunts for. A small quarantine still catches a
// use of a block freed moments ago. (ASAN_OPTIONS given by the caller still take precedence.)
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }
#endif

namespace {

using quorvane::testing::UnitSimProcess;

struct Settings {
    long keepAlive = 5000;
    long close = 5000;
    long checkpoint = 100;
    long rssToleranceKib = 1024;
    long fdTolerance = 0;
    int readTimeout = 10000;
    long progress = 0;  // 0: no progress lines
};

struct Sample {
    long polls = 0;
    long rssKib = -1;
    long descriptors = -1;
};

long StatusKib(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0) return std::strtol(line.c_str() + keyLength, nullptr, 10);
    }
    return -1;
}

Sample Take(long polls) { return Sample{polls, StatusKib("VmRSS:"), quorvane::testing::OpenDescriptorCount()}; }

void Usage() {
    std::fprintf(stderr,
                 "usage: soak [--keep-alive N] [--close N] [--checkpoint N] [--rss-tolerance-kib N]\n"
                 "            [--fd-tolerance N] [--read-timeout MS] [--progress N]\n"
                 "Polls a keep-alive and a closing unit-sim alternately (defaults 5000 each), then\n"
                 "compares VmRSS and open descriptors at the end with those after the first\n"
                 "--checkpoint polls (default 100); tolerances default to 1024 KiB and 0.\n");
}

bool ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") return false;
        if (i + 1 >= argc) return false;
        char* end = nullptr;
        const long value = std::strtol(argv[++i], &end, 10);
        if (end == argv[i] || *end != '\0' || value < 0) return false;
        if (option == "--keep-alive") settings.keepAlive = value;
        else if (option == "--close") settings.close = value;
        else if (option == "--checkpoint") settings.checkpoint = value;
        else if (option == "--rss-tolerance-kib") settings.rssToleranceKib = value;
        else if (option == "--fd-tolerance") settings.fdTolerance = value;
        else if (option == "--read-timeout") settings.readTimeout = static_cast<int>(value);
        else if (option == "--progress") settings.progress = value;
        else return false;
    }
    return settings.checkpoint > 0 && settings.keepAlive + settings.close > settings.checkpoint;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseArguments(argc, argv, settings)) {
        Usage();
        return 2;
    }
    // The simulators end by themselves well after the run should have ended, even under
    // valgrind, so a killed soak leaves nothing behind for long.
    const int lifetime = static_cast<int>(600 + (settings.keepAlive + settings.close) / 5);
    UnitSimProcess keepAliveUnit({}, lifetime);
    UnitSimProcess closingUnit({"--close"}, lifetime);
    if (keepAliveUnit.Port() == 0 || closingUnit.Port() == 0) {
        std::fprintf(stderr, "soak: unit-sim did not start: %s%s\n", keepAliveUnit.Error().c_str(),
                     closingUnit.Error().c_str());
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    long keepAliveLeft = settings.keepAlive;
    long closeLeft = settings.close;
    long polls = 0;
    long failed = 0;
    Sample first;
    const int32_t errorsBefore = quorvane::ErrorCount;
    while (keepAliveLeft > 0 || closeLeft > 0) {
        const bool useKeepAlive = keepAliveLeft > 0 && (closeLeft == 0 || polls % 2 == 0);
        const uint16_t port = useKeepAlive ? keepAliveUnit.Port() : closingUnit.Port();
        (useKeepAlive ? keepAliveLeft : closeLeft)--;
        const int32_t code = quorvane::PollStatus("127.0.0.1", "admin", "57203941", port, 2000, settings.readTimeout);
        ++polls;
        if (code != 200) {
            ++failed;
            std::fprintf(stderr, "soak: poll %ld (%s) returned %d\n", polls, useKeepAlive ? "keep-alive" : "close",
                         code);
        }
        if (polls == settings.checkpoint) first = Take(polls);
        if (settings.progress > 0 && polls % settings.progress == 0) {
            const Sample now = Take(polls);
            std::printf("soak: %6ld polls  VmRSS %ld KiB  %ld descriptors\n", now.polls, now.rssKib, now.descriptors);
            std::fflush(stdout);
        }
    }
    const Sample last = Take(polls);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    failed = std::max<long>(failed, quorvane::ErrorCount - errorsBefore);

    const long rssGrowth = last.rssKib - first.rssKib;
    const long fdGrowth = last.descriptors - first.descriptors;
    const bool measured = first.rssKib >= 0 && first.descriptors >= 0 && last.rssKib >= 0 && last.descriptors >= 0;
    const bool flat = measured && rssGrowth <= settings.rssToleranceKib && fdGrowth <= settings.fdTolerance;
    std::printf("soak: %ld polls (%ld keep-alive, %ld close) in %.1f s, %ld failed, PollCount %d, ErrorCount %d\n",
                polls, settings.keepAlive, settings.close, seconds, failed, quorvane::PollCount, quorvane::ErrorCount);
    std::printf("soak: after %6ld polls: VmRSS %ld KiB, %ld descriptors\n", first.polls, first.rssKib,
                first.descriptors);
    std::printf("soak: after %6ld polls: VmRSS %ld KiB, %ld descriptors (peak VmHWM %ld KiB)\n", last.polls,
                last.rssKib, last.descriptors, StatusKib("VmHWM:"));
    std::printf("soak: growth %+ld KiB (tolerance %ld KiB), %+ld descriptors (tolerance %ld): %s\n", rssGrowth,
                settings.rssToleranceKib, fdGrowth, settings.fdTolerance, flat && failed == 0 ? "PASS" : "FAIL");
    return flat && failed == 0 ? 0 : 1;
}
