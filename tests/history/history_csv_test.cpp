#include "history/history_csv.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "history/history_store.h"
#include "platform/code_page.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

constexpr int kUtf8 = 65001;

class HistoryCsvTest : public ::testing::Test {
protected:
    testing::TempDir directory_;
    THistoryStore store_{directory_.File("h.sqlite3")};
    TReadingRecord reading_;
};

TEST_F(HistoryCsvTest, WritesValuesAsSentWithQuotingAndLocalOffsets) {
    const platform::ScopedCodePage utf8(kUtf8);
    reading_.Volt1 = "12,1";
    reading_.Volt2 = "say \"hi\"";
    reading_.Temp1 = "25.5\xC2\xB0";
    store_.Record(TPollOutcome{200, true, "", 1'765'000'000'250, 12}, reading_);
    store_.Record(TPollOutcome{-1, false, "Connection refused (10061)", 1'765'000'060'000, 3}, reading_);
    store_.Record(TPollOutcome{200, true, "", 1'765'000'120'000, 12}, reading_);  // outside the range

    std::ostringstream out;
    // Two offsets, as across a change to daylight saving time.
    const auto offset = [](int64_t ms) { return ms < 1'765'000'030'000 ? 540 : -150; };
    EXPECT_EQ(WriteHistoryCsv(store_, 1'765'000'000'000, 1'765'000'120'000, out, offset), 2);

    // The readings in the Status page's order.
    std::string header = "Time,DurationMs,Code,Failure,Temp1,Temp2,Temp3,Fan1,Fan2,Fan3,Volt1,Volt2,Volt3";
    for (int i = 1; i <= 16; ++i) header += ",Input" + std::to_string(i);
    EXPECT_EQ(out.str(), header + "\r\n" + "2025-12-06T14:46:40.250+09:00,12,200,,25.5\xC2\xB0,,,,,,\"12,1\",\"say \"\"hi\"\"\"" +
                             std::string(17, ',') + "\r\n" +
                             "2025-12-06T03:17:40.000-02:30,3,-1,Connection refused (10061)" + std::string(25, ',') +
                             "\r\n");
}

// The file must open as UTF-8 whatever bytes the unit sent, and a spreadsheet must show every
// text as text: a value or reason that starts like a formula is not one once it is exported.
TEST_F(HistoryCsvTest, UnitTextIsUtf8InTheWindowsCodePageAndNeverAFormula) {
    // Temp 1 to Volt 2, in the columns' order.
    const char* const texts[] = {"=HYPERLINK(\"http://x\")", "-4.5", "+1", "-2+3", "@SUM(A1)", "\tx", "\r1",
                                 "\x82\xA0\xFF"};
    for (size_t i = 0; i < std::size(texts); ++i) Readings()[i].Of(reading_) = texts[i];
    store_.Record(TPollOutcome{200, true, "", 0, 1}, reading_);
    store_.Record(TPollOutcome{-1, false, "-ERR\xFF", 1000, 1}, reading_);

    const struct {
        int codePage;
        const char* volt2;
        const char* reason;
    } pages[] = {{kUtf8, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "'-ERR\xEF\xBF\xBD"},
                 {1252, "\xC2\x82\xC2\xA0\xC3\xBF", "'-ERR\xC3\xBF"},
                 {932, "\xE3\x81\x82\xEF\xBF\xBD", "'-ERR\xEF\xBF\xBD"}};
    for (const auto& page : pages) {
        const platform::ScopedCodePage codePage(page.codePage);
        std::ostringstream out;
        WriteHistoryCsv(store_, 0, 2000, out, [](int64_t) { return 0; });
        const std::string csv = out.str();
        const size_t first = csv.find("\r\n") + 2;
        const size_t second = csv.find("\r\n", first) + 2;
        EXPECT_EQ(csv.substr(first, second - first),
                  std::string("1970-01-01T00:00:00.000+00:00,1,200,,\"'=HYPERLINK(\"\"http://x\"\")\",-4.5,+1,'-2+3,"
                              "'@SUM(A1),'\tx,\"'\r1\",") +
                      page.volt2 + std::string(17, ',') + "\r\n")
            << page.codePage;
        EXPECT_EQ(csv.substr(second),
                  std::string("1970-01-01T00:00:01.000+00:00,1,-1,") + page.reason + std::string(25, ',') + "\r\n")
            << page.codePage;
    }
}

}  // namespace
}  // namespace quorvane
