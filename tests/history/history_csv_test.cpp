#include "history/history_csv.h"

#include <gtest/gtest.h>

#include <sstream>

#include "history/history_store.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(HistoryCsvTest, WritesValuesAsSentWithQuotingAndLocalOffsets) {
    testing::TempDir directory;
    THistoryStore store(directory.File("h.sqlite3"));
    TReadingRecord reading;
    reading.Volt1 = "12,1";
    reading.Volt2 = "say \"hi\"";
    reading.Temp1 = "25.5\xC2\xB0";
    store.Record(TPollOutcome{200, true, "", 1'765'000'000'250, 12}, reading);
    store.Record(TPollOutcome{-1, false, "Connection refused (10061)", 1'765'000'060'000, 3}, reading);
    store.Record(TPollOutcome{200, true, "", 1'765'000'120'000, 12}, reading);  // outside the range

    std::ostringstream out;
    // Two offsets, as across a change to daylight saving time.
    const auto offset = [](int64_t ms) { return ms < 1'765'000'030'000 ? 540 : -150; };
    EXPECT_EQ(WriteHistoryCsv(store, 1'765'000'000'000, 1'765'000'120'000, out, offset), 2);

    // The readings in the Status page's order.
    std::string header = "Time,DurationMs,Code,Failure,Temp1,Temp2,Temp3,Fan1,Fan2,Fan3,Volt1,Volt2,Volt3";
    for (int i = 1; i <= 16; ++i) header += ",Input" + std::to_string(i);
    EXPECT_EQ(out.str(), header + "\r\n" + "2025-12-06T14:46:40.250+09:00,12,200,,25.5\xC2\xB0,,,,,,\"12,1\",\"say \"\"hi\"\"\"" +
                             std::string(17, ',') + "\r\n" +
                             "2025-12-06T03:17:40.000-02:30,3,-1,Connection refused (10061)" + std::string(25, ',') +
                             "\r\n");
}

}  // namespace
}  // namespace quorvane
