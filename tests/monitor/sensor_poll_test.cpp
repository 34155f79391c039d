#include "monitor/sensor_poll.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "rtl/exception.h"
#include "text/string_list.h"

#include "support/scripted_sensor_unit.h"

namespace quorvane {
namespace {

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Get(i));
    return items;
}

// ---------------------------------------------------------------------------------------------
// ExtractHtmlBody: the answer as the unit sent it, split as comma text, cut to the markers.
// ---------------------------------------------------------------------------------------------

struct ExtractCase {
    const char* name;
    std::string body;
    std::vector<std::string> expected;
};

class ExtractHtmlBodyTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractHtmlBodyTest, KeepsOnlyTheItemsBetweenTheMarkers) {
    TStringList answer;
    answer.SplitCommaText(GetParam().body);
    ExtractHtmlBody(answer);
    EXPECT_EQ(Items(answer), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExtractHtmlBodyTest,
    ::testing::Values(
        ExtractCase{"Plain", "<html>V1:12.0,V2:5.0,V3:3.3</html>", {"V1:12.0", "V2:5.0", "V3:3.3"}},
        ExtractCase{"TextAroundIgnored", "junk<html>V1:1,V2:2,V3:3</html>tail", {"V1:1", "V2:2", "V3:3"}},
        ExtractCase{"UpperCaseMarkersGiveNothing", "<HTML>V1:1,V2:2,V3:3</HTML>", {}},
        ExtractCase{"NoClosingMarker", "<html>V1:1,V2:2", {}},
        ExtractCase{"OkOnly", "OK", {}},
        ExtractCase{"Empty", "", {}},
        ExtractCase{"EmptyBetweenMarkers", "<html></html>", {}},
        // Without "<html>" the first five characters go, whatever they are.
        ExtractCase{"NoOpeningMarkerDropsFive", "abcdeV1:1,V2:2</html>", {"V1:1", "V2:2"}},
        // A space splits an item: the poll sees one item more than the unit meant.
        ExtractCase{"SpaceInsideItem", "<html>V1: 12.0,V2:5,V3:3</html>", {"V1:", "12.0", "V2:5", "V3:3"}},
        ExtractCase{"EmptyItemsKept", "<html>V1:1,,V3:3</html>", {"V1:1", "", "V3:3"}},
        ExtractCase{"SecondClosingMarkerIgnored", "<html>a,b</html>c</html>", {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// StripPrefix
// ---------------------------------------------------------------------------------------------

struct StripCase {
    const char* name;
    std::string prefix;
    std::string item;
    std::string expected;
};

class StripPrefixTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripPrefixTest, RemovesOnlyALeadingPrefixIgnoringCase) {
    EXPECT_EQ(StripPrefix(GetParam().prefix, GetParam().item), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Items, StripPrefixTest,
                         ::testing::Values(StripCase{"Exact", "V1:", "V1:12.0", "12.0"},
                                           StripCase{"LowerCase", "F2:", "f2:950", "950"},
                                           StripCase{"OtherPrefixKeptWhole", "V1:", "X1:7", "X1:7"},
                                           StripCase{"PrefixOnly", "T3:", "T3:", ""},
                                           StripCase{"ShorterThanPrefix", "I16:", "I1", "I1"},
                                           StripCase{"PrefixLaterNotRemoved", "V1:", "xV1:5", "xV1:5"},
                                           StripCase{"OnlyFirstRemoved", "V1:", "V1:V1:5", "V1:5"},
                                           StripCase{"EmptyItem", "V1:", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Group parsers
// ---------------------------------------------------------------------------------------------

enum class Group { Volt, Temp, Fan, Input };

void Parse(Group group, TStringList& answer, TReadingRecord& record) {
    switch (group) {
        case Group::Volt: return ParseVolt(answer, record);
        case Group::Temp: return ParseTemp(answer, record);
        case Group::Fan: return ParseFan(answer, record);
        case Group::Input: return ParseInput(answer, record);
    }
}

std::vector<std::string> Fields(TReadingRecord& record, Group group) {
    std::vector<std::string> fields;
    for (int i = 1; i <= (group == Group::Input ? 16 : 3); ++i) {
        fields.push_back(group == Group::Volt   ? record.Volt(i)
                         : group == Group::Temp ? record.Temp(i)
                         : group == Group::Fan  ? record.Fan(i)
                                                : record.Input(i));
    }
    return fields;
}

struct ParseCase {
    const char* name;
    Group group;
    std::string body;
    std::vector<std::string> fields;  // the group's fields afterwards, in order
};

class ParseGroupTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseGroupTest, FillsTheGroupByPosition) {
    TReadingRecord record;
    TStringList answer;
    answer.SplitCommaText(GetParam().body);
    Parse(GetParam().group, answer, record);
    EXPECT_EQ(Fields(record, GetParam().group), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ParseGroupTest,
    ::testing::Values(
        ParseCase{"Volts", Group::Volt, "<html>V1:12.0,V2:5.0,V3:3.3</html>", {"12.0", "5.0", "3.3"}},
        ParseCase{"LowerCasePrefixAndAnItemTooMany", Group::Temp, "<html>T1:35.1,t2:28.0,T3:42.5,T4:99</html>",
                  {"35.1", "28.0", "42.5"}},
        // Items are taken by position, not by prefix: a swapped prefix stays in the value.
        ParseCase{"SwappedPrefixesStayInTheValues", Group::Fan, "<html>F2:950,F1:1200,f3:3000</html>",
                  {"F2:950", "F1:1200", "3000"}},
        ParseCase{"SpaceInsideAnItemShiftsTheValues", Group::Volt, "<html>V1: 12.0,V2:5,V3:3</html>",
                  {"", "12.0", "V2:5"}},
        ParseCase{"SixteenInputs", Group::Input,
                  testing::SensorGroupBody('I', 16, [](int i) { return i % 2 ? "1" : "0"; }),
                  {"1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "1", "0"}},
        ParseCase{"InputMarkerInAnyCaseAndInsideItems", Group::Input,
                  "<html>INPUT:I1:1,I2:inPut:0,I3:1,I4:0,I5:1,I6:0,I7:1,I8:0,I9:1,I10:0,I11:1,I12:0,I13:1,I14:0,"
                  "I15:on,i16:01</html>",
                  {"1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "1", "0", "on", "01"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseGroupsTest, ShortAnswerFailsAtTheFirstMissingItemAndKeepsEarlierFields) {
    TReadingRecord record;
    record.Temp1 = "old1";
    record.Temp2 = "old2";
    record.Temp3 = "old3";
    TStringList answer;
    answer.SplitCommaText("<html>T1:20.5</html>");
    try {
        ParseTemp(answer, record);
        FAIL() << "a short answer must fail";
    } catch (const EStringListError& error) {
        EXPECT_STREQ(error.what(), "リストのインデックスが範囲を超えています (1)");
    }
    EXPECT_EQ(record.Temp1, "20.5");
    EXPECT_EQ(record.Temp2, "old2");
    EXPECT_EQ(record.Temp3, "old3");
}

TEST(ParseGroupsTest, AnswerWithoutMarkersFailsBeforeTouchingAnyField) {
    for (const char* body : {"OK", "", "<HTML>V1:1,V2:2,V3:3</HTML>"}) {
        TReadingRecord record;
        record.Volt1 = "kept";
        TStringList answer;
        answer.SplitCommaText(body);
        EXPECT_THROW(ParseVolt(answer, record), EStringListError) << body;
        EXPECT_EQ(record.Volt1, "kept") << body;
    }
}

TEST(ParseInputTest, FifteenItemsFailOnTheSixteenth) {
    TReadingRecord record;
    record.Input16 = "old";
    TStringList answer;
    answer.SplitCommaText(testing::SensorGroupBody('I', 15, [](int) { return "1"; }));
    EXPECT_THROW(ParseInput(answer, record), EStringListError);
    EXPECT_EQ(record.Input15, "1");
    EXPECT_EQ(record.Input16, "old");
}

TEST(ParseInputTest, DoubleByteTrailBytesNeverStartAMarker) {
    platform::ScopedCodePage codePage(932);
    // 0x83 0x49 is one character whose trail byte is "I"; followed by "NPUT:" it must not be
    // taken for the marker.
    const std::string tricky = std::string("\x83") + "INPUT:";
    TReadingRecord record;
    TStringList answer;
    answer.SplitCommaText(testing::SensorGroupBody('I', 16, [&](int i) { return i == 1 ? tricky : "0"; }));
    ParseInput(answer, record);
    EXPECT_EQ(record.Input1, tricky);
}

TEST(ReadingRecordTest, NumberedAccessMatchesTheNamedFields) {
    TReadingRecord record;
    record.Volt(3) = "v3";
    record.Temp(1) = "t1";
    record.Fan(2) = "f2";
    record.Input(16) = "i16";
    EXPECT_EQ(record.Volt3, "v3");
    EXPECT_EQ(record.Temp1, "t1");
    EXPECT_EQ(record.Fan2, "f2");
    EXPECT_EQ(record.Input16, "i16");
    EXPECT_THROW(record.Volt(0), std::out_of_range);
    EXPECT_THROW(record.Input(17), std::out_of_range);
}

TEST(PollExchangeLimitTest, FourReadLimitsPlusTwoSecondsAndNoLimitCountsAsTheMaximum) {
    EXPECT_EQ(PollExchangeLimit(1000), 6000);
    EXPECT_EQ(PollExchangeLimit(10000), 42000);
    EXPECT_EQ(PollExchangeLimit(0), 4 * 600000 + 2000);
    EXPECT_EQ(PollExchangeLimit(-1), 4 * 600000 + 2000);
    EXPECT_EQ(PollExchangeLimit(2000000000), 2147483647);
}

}  // namespace
}  // namespace quorvane
