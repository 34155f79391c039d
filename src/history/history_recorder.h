#pragma once

#include <memory>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace quorvane {

// Keeps the history for the window without ever standing in the poll's way: a file that
// cannot be opened or written (locked, read-only, full disk) is tried again at the next poll;
// a damaged one is moved aside with its log as "<file>.corrupt-<UTC time>" (then "-2", "-3",
// ... when that name is taken) and a fresh one begun.
class THistoryRecorder {
public:
    explicit THistoryRecorder(std::string path, THistoryStore::TOptions options = {});
    ~THistoryRecorder();
    THistoryRecorder(const THistoryRecorder&) = delete;
    THistoryRecorder& operator=(const THistoryRecorder&) = delete;

    // Records one poll. Returns a line for the user when there is news: history has just
    // stopped being kept (said once until it works again), or a damaged file was set aside.
    // Empty otherwise. Never throws for a failure of the file.
    std::string Record(const TPollOutcome& outcome, const TReadingRecord& reading,
                       const std::vector<TAlarmEvent>& events = {});

    // The open store, opening it if need be; null while the file cannot be used.
    THistoryStore* Store();
    const std::string& Path() const { return path_; }
    bool Keeping() const { return !failing_; }

private:
    // Moves the damaged file (and its log) aside; returns the new name.
    std::string SetAside();

    std::string path_;
    THistoryStore::TOptions options_;
    std::unique_ptr<THistoryStore> store_;
    bool failing_ = false;
};

}  // namespace quorvane
