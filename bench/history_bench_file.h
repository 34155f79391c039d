#pragma once

// What the History benchmarks of the window share: the filled file named first on the command
// line, and the process's resident memory.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "history/history_store.h"

// The file of argv[1] (made by history-fill or bench_history_bench), with its size said; null,
// with the reason on standard error, when there is none or it holds no polls.
inline std::unique_ptr<quorvane::THistoryStore> OpenFilledFile(int argc, char** argv, const char* usage) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return nullptr;
    }
    auto store = std::make_unique<quorvane::THistoryStore>(argv[1]);
    if (!store->Span()) {
        std::fprintf(stderr, "%s holds no polls\n", argv[1]);
        return nullptr;
    }
    std::printf("%s: %lld polls\n", argv[1], static_cast<long long>(store->Count()));
    return store;
}

inline std::string ResidentMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return line.substr(6);
    return "?";
}
