#include "history/history_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace quorvane {

namespace {

bool Taken(const std::string& name) {
    struct stat info {};
    return ::lstat(name.c_str(), &info) == 0 || errno != ENOENT;
}

// 0, or the errno of the failure (EEXIST when the new name is taken).
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: the name was free a moment ago, and only this process
    // sets files aside under it.
    if (Taken(to)) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

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
    // The log and its index belong to the damaged file and move with it under the same new
    // name: a fresh file must not replay them. No name already there is ever replaced (a
    // second damage within the same second gets "-2").
    const char* const companions[] = {"-wal", "-shm"};
    for (int number = 1; number <= 1000; ++number) {
        const std::string aside =
            path_ + ".corrupt-" + stamp + (number == 1 ? std::string() : "-" + std::to_string(number));
        if (Taken(aside) || Taken(aside + companions[0]) || Taken(aside + companions[1])) continue;
        if (const int error = RenameWithoutReplacing(path_, aside); error != 0) {
            if (error == EEXIST) continue;
            return {};
        }
        bool together = true;
        std::vector<const char*> moved;
        for (const char* suffix : companions) {
            if (!Taken(path_ + suffix)) continue;
            if (RenameWithoutReplacing(path_ + suffix, aside + suffix) != 0) {
                together = false;
                break;
            }
            moved.push_back(suffix);
        }
        if (!together) {
            // Apart, the file would be read without its log: put everything back as it was.
            for (const char* suffix : moved) ::rename((aside + suffix).c_str(), (path_ + suffix).c_str());
            ::rename(aside.c_str(), path_.c_str());
            return {};
        }
        return std::filesystem::path(aside).filename().string();
    }
    return {};
}

}  // namespace quorvane
