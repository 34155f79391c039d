#include "history/history_recorder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

const TPollOutcome kGood{200, true, "", 1000, 10};

TEST(HistoryRecorderTest, SetsADamagedFileAsideAndStartsAFreshOne) {
    testing::TempDir directory;
    const std::string path = directory.File("Quorvane.history.sqlite3");
    const std::string damaged(4096, 'x');
    testing::WriteFile(path, damaged);
    THistoryRecorder recorder(path);
    const std::string news = recorder.Record(kGood, TReadingRecord{});
    EXPECT_NE(news.find("damaged"), std::string::npos) << news;
    std::vector<std::string> aside;
    for (const auto& entry : std::filesystem::directory_iterator(directory.Path()))
        if (entry.path().filename().string().starts_with("Quorvane.history.sqlite3.corrupt-"))
            aside.push_back(entry.path().string());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(testing::ReadFile(aside[0]), damaged);
    ASSERT_NE(recorder.Store(), nullptr);
    EXPECT_EQ(recorder.Store()->Count(), 1);
}

// A file another program holds locked stops nothing: one notice, then the poll after the lock
// is gone is kept again.
TEST(HistoryRecorderTest, SaysOnceWhileLockedAndRetriesAtTheNextPoll) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    THistoryRecorder recorder(path, {.MaxPolls = 100, .PruneBatch = 10, .BusyTimeoutMs = 5});
    EXPECT_EQ(recorder.Record(kGood, TReadingRecord{}), "");
    {
        TSqliteDatabase other(path, false);
        other.Execute("BEGIN EXCLUSIVE");
        EXPECT_EQ(recorder.Record(kGood, TReadingRecord{}), "History is not being kept: database is locked");
        EXPECT_EQ(recorder.Record(kGood, TReadingRecord{}), "");
        EXPECT_FALSE(recorder.Keeping());
        other.Execute("ROLLBACK");
    }
    EXPECT_EQ(recorder.Record(kGood, TReadingRecord{}), "");
    EXPECT_TRUE(recorder.Keeping());
    EXPECT_EQ(recorder.Store()->Count(), 2);
}

// A file from a newer program is neither upgraded, nor written, nor set aside.
TEST(HistoryRecorderTest, LeavesAFileOfANewerLayoutAlone) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    TSqliteDatabase(path, true).Execute("PRAGMA user_version=99");
    const std::string before = testing::ReadFile(path);
    THistoryRecorder recorder(path);
    EXPECT_EQ(recorder.Record(kGood, TReadingRecord{}),
              "History is not being kept: The history file was written by a newer Quorvane (layout 99)");
    EXPECT_EQ(testing::ReadFile(path), before);
}

TEST(HistoryRecorderTest, ReadOnlyFolderKeepsNothingButDoesNotThrow) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    ASSERT_EQ(chmod(directory.Path().c_str(), 0555), 0);
    const int result = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 10;
        THistoryRecorder recorder(path);
        const std::string first = recorder.Record(kGood, TReadingRecord{});
        if (!first.starts_with("History is not being kept: ")) return 11;
        if (!recorder.Record(kGood, TReadingRecord{}).empty()) return 12;
        return recorder.Store() == nullptr ? 0 : 13;
    });
    chmod(directory.Path().c_str(), 0755);
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace quorvane
