#include "history/history_recorder.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

namespace quorvane {

THistoryRecorder::THistoryRecorder(std::string path, THistoryStore::TOptions options)
    : path_(std::move(path)), options_(options) {}

THistoryRecorder::~THistoryRecorder() = default;

THistoryStore* THistoryRecorder::Store() {
    if (!store_) {
        try {
            store_ = std::make_unique<THistoryStore>(path_, options_);
        } catch (const EHistoryError&) {
            return nullptr;
        }
    }
    return store_.get();
}

std::string THistoryRecorder::Record(const TPollOutcome& outcome, const TReadingRecord& reading,
                                     const std::vector<TAlarmEvent>& events) {
    std::string news;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (!store_) store_ = std::make_unique<THistoryStore>(path_, options_);
            store_->Record(outcome, reading, events);
            failing_ = false;
            return news;
        } catch (const EHistoryError& error) {
            store_.reset();  // a fresh connection next time: the old one may hold a stale lock or file
            if (error.IsCorruption() && attempt == 0) {
                const std::string asideName = SetAside();
                if (!asideName.empty()) {
                    news = "The history file was damaged; it is kept as " + asideName + " and a new one begun";
                    continue;
                }
            }
            if (failing_) return news;
            failing_ = true;
            return "History is not being kept: " + error.Message();
        }
    }
    return news;
}

std::string THistoryRecorder::SetAside() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    const std::string aside = path_ + ".corrupt-" + stamp;
    std::error_code error;
    std::filesystem::rename(path_, aside, error);
    if (error) return {};
    // The log and its index belong to the damaged file; a fresh file must not replay them.
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (std::filesystem::exists(path_ + suffix, ignored)) std::filesystem::rename(path_ + suffix, aside + suffix, ignored);
    }
    return std::filesystem::path(aside).filename().string();
}

}  // namespace quorvane
