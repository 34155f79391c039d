#include "history/history_recorder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include <ctime>
#include <filesystem>
#include <fstream>

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

std::vector<std::string> AsideFiles(const testing::TempDir& directory, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory.Path()))
        if (entry.path().filename().string().starts_with(prefix)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The log holds the latest polls, the file the older ones. When the file turns out damaged,
// both go aside as they were found: closing the connection must not copy the log into the
// damaged file (and delete it) on the way.
TEST(HistoryRecorderTest, ADamagedFileGoesAsideWithItsLogAsTheyWere) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    THistoryStore(path).Record(kGood, TReadingRecord{});  // closed: the log is copied in and removed
    THistoryRecorder recorder(path);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(recorder.Record(kGood, TReadingRecord{}), "");
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    // Damage a page the log does not hold: the events table's, which no poll has written yet.
    int64_t page = 0;
    int64_t pageSize = 0;
    {
        TSqliteDatabase reader(path, false);
        TSqliteStatement root(reader, "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master "
                                      "WHERE name = 'events'");
        ASSERT_TRUE(root.Step());
        page = root.Integer(0);
        pageSize = root.Integer(1);
    }
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp((page - 1) * pageSize);
        file << std::string(static_cast<size_t>(pageSize), 'x');
    }
    const std::string damaged = testing::ReadFile(path);
    const std::string log = testing::ReadFile(path + "-wal");

    const TAlarmEvent event{"Temp1High", true, "Temp 1 above 40", "Temp 1 is 41", kGood.StartedAtMs};
    EXPECT_NE(recorder.Record(kGood, TReadingRecord{}, {event}).find("damaged"), std::string::npos);
    const std::vector<std::string> aside = AsideFiles(directory, "h.sqlite3.corrupt-");
    ASSERT_EQ(aside.size(), 3u);
    EXPECT_EQ(testing::ReadFile(directory.File(aside[0])), damaged);
    EXPECT_EQ(aside[1], aside[0] + "-shm");
    EXPECT_EQ(aside[2], aside[0] + "-wal");
    EXPECT_EQ(testing::ReadFile(directory.File(aside[2])), log);
    EXPECT_EQ(recorder.Store()->Count(), 1);
}

// Two damaged files within a second (or a name the user made) must not cost the first one.
TEST(HistoryRecorderTest, AnAsideNameNeverReplacesAFileThatIsThere) {
    testing::TempDir directory;
    const std::string path = directory.File("h.sqlite3");
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> earlier;
    for (std::time_t at = now - 1; at <= now + 3; ++at) {
        std::tm utc{};
        gmtime_r(&at, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
        earlier.push_back(path + ".corrupt-" + stamp);
        testing::WriteFile(earlier.back(), "kept");
    }
    testing::WriteFile(path, std::string(4096, 'x'));
    THistoryRecorder recorder(path);
    EXPECT_NE(recorder.Record(kGood, TReadingRecord{}).find("-2 and a new one begun"), std::string::npos);
    for (const std::string& name : earlier) EXPECT_EQ(testing::ReadFile(name), "kept") << name;
    EXPECT_EQ(AsideFiles(directory, "h.sqlite3.corrupt-").size(), earlier.size() + 1);
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
