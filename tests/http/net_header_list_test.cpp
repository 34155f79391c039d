#include "http/net_header_list.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/list_lines.h"

namespace quorvane {
namespace {

using testing::Fill;
using testing::LinesOf;

// ---------------------------------------------------------------------------------------------
// Names and values
// ---------------------------------------------------------------------------------------------

TEST(HeaderListTest, NamesAreUpperCasedAndFoundIgnoringCase) {
    TNetHeaderList list;
    Fill(list, {"Content-Type: text/plain", "no colon here", ": empty name", "X-a:b:c"});
    EXPECT_EQ(list.NameAt(0), "CONTENT-TYPE");
    EXPECT_EQ(list.NameAt(1), "");
    EXPECT_EQ(list.NameAt(2), "");
    EXPECT_EQ(list.NameAt(3), "X-A");
    list.NamesCaseSensitive = true;
    EXPECT_EQ(list.NameAt(0), "Content-Type");
    // The look-up ignores case either way.
    EXPECT_EQ(list.FindName("content-type"), 0);
    EXPECT_EQ(list.FindName("x-A"), 3);
    EXPECT_EQ(list.FindName("no colon here"), -1);
    EXPECT_EQ(list.FindName("missing"), -1);
    EXPECT_EQ(list.ValueOf("x-a"), "b:c");
    EXPECT_EQ(list.ValueOf("missing"), "");
}

TEST(HeaderListTest, ValuesAreTrimmedAndIndexesOutsideGiveEmpty) {
    TNetHeaderList list;
    Fill(list, {"A:   spaced \t ", "B:", "line without colon"});
    EXPECT_EQ(list.ValueAt(0), "spaced");
    EXPECT_EQ(list.ValueAt(1), "");
    // No name: the value starts after the first character, as after a one-byte separator.
    EXPECT_EQ(list.ValueAt(2), "ine without colon");
    EXPECT_EQ(list.ValueAt(-1), "");
    EXPECT_EQ(list.ValueAt(3), "");
}

TEST(HeaderListTest, ContinuationLinesAreJoinedWithSingleSpaces) {
    TNetHeaderList list;
    Fill(list, {"X-Long: a ", " b", "\tt", "Next: n", " ", "Other: o", "\tc", "", " stray"});
    EXPECT_EQ(list.ValueOf("x-long"), "a b t");
    // A line of one blank is a continuation that adds nothing but the joining space.
    EXPECT_EQ(list.ValueOf("Next"), "n");
    // An empty line ends the header.
    EXPECT_EQ(list.ValueOf("Other"), "o c");
    list.UnfoldOnRead = false;
    EXPECT_EQ(list.ValueOf("x-long"), "a");
}

TEST(HeaderListTest, ManyContinuationLinesJoinQuickly) {
    TNetHeaderList list;
    list.Add("X-Big: start");
    for (int i = 0; i < 20000; ++i) {
        list.Add(" " + std::string(40, 'v'));
    }
    const std::string value = list.ValueOf("X-Big");
    EXPECT_EQ(value.size(), 5 + 20000 * 41u);
}

TEST(HeaderListTest, RepeatedHeadersFirstForValueOfAllForCollect) {
    TNetHeaderList list;
    Fill(list, {"Set-cookie: a=1", "Server: x", "SET-COOKIE: b=2;", " path=/", "set-cookie:"});
    EXPECT_EQ(list.ValueOf("Set-Cookie"), "a=1");
    TStringList values;
    list.CollectValues("set-cookie", &values);
    EXPECT_EQ(LinesOf(values), (std::vector<std::string>{"a=1", "b=2; path=/", ""}));
    list.CollectValues("set-cookie", nullptr);
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

TEST(HeaderListTest, PutValueReplacesInPlaceAppendsAndDeletes) {
    TNetHeaderList list;
    Fill(list, {"HOST: old", "Accept: */*", "Host: second"});
    list.PutValue("Host", "new:81");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"Host: new:81", "Accept: */*", "Host: second"}));

    list.PutValue("User-Agent", "ua");
    EXPECT_EQ(list.Get(3), "User-Agent: ua");

    list.PutValue("host", "");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"Accept: */*", "Host: second", "User-Agent: ua"}));
    list.PutValue("Missing", "");
    EXPECT_EQ(list.Count(), 3);
}

TEST(HeaderListTest, ReplacingOrDeletingTakesTheContinuationsAlong) {
    TNetHeaderList list;
    Fill(list, {"A: 1", " more", "\tmore", "B: 2", "C: 3", " c", "", " after empty"});
    list.PutValue("a", "x");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"a: x", "B: 2", "C: 3", " c", "", " after empty"}));
    list.PutValue("C", "");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"a: x", "B: 2", "", " after empty"}));

    list.DropContinuations(1);  // stops at the empty line
    EXPECT_EQ(list.Count(), 4);
    list.DropContinuations(-1);
    list.DropContinuations(3);
    EXPECT_EQ(list.Count(), 4);
}

TEST(HeaderListTest, FoldOnWriteOffKeepsOneLineAndLeavesContinuations) {
    TNetHeaderList list;
    list.FoldOnWrite = false;
    Fill(list, {"A: 1", " cont"});
    const std::string longValue = std::string(60, 'x') + " " + std::string(60, 'y');
    list.PutValue("A", longValue);
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"A: " + longValue, " cont"}));
    list.PutValue("A", "");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{" cont"}));
}

TEST(HeaderListTest, SeparatorIsWrittenAndItsTrimmedFormEndsTheName) {
    TNetHeaderList list;
    list.Separator = "=";
    list.PutValue("Username", "bob");
    list.PutValue("Realm", "x=y");
    EXPECT_EQ(LinesOf(list), (std::vector<std::string>{"Username=bob", "Realm=x=y"}));
    EXPECT_EQ(list.ValueOf("realm"), "x=y");
}

// ---------------------------------------------------------------------------------------------
// Folding
// ---------------------------------------------------------------------------------------------

struct FoldCase {
    const char* label;
    int32_t width;
    std::string name;
    std::string value;
    std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& out, const FoldCase& c) { return out << c.label; }

class HeaderFoldTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(HeaderFoldTest, PutValueFoldsAndValueOfJoinsBack) {
    const FoldCase& c = GetParam();
    TNetHeaderList list;
    list.FoldLength = c.width;
    list.PutValue(c.name, c.value);
    EXPECT_EQ(LinesOf(list), c.lines);
    // Writing again over the folded header replaces all of its lines.
    list.PutValue(c.name, c.value);
    EXPECT_EQ(LinesOf(list), c.lines);
}

// "N: " + 74 letters + " " + the rest: 80 characters with the only space at column 78.
const std::string k74(74, 'a');
const std::string kBase64Run1005 = std::string(1001, 'Q') + "+/==";  // no break character

INSTANTIATE_TEST_SUITE_P(
    Rules, HeaderFoldTest,
    ::testing::Values(
        FoldCase{"Width78Exactly79IsOneLine", 78, "N", k74 + " b", {"N: " + k74 + " b"}},
        FoldCase{"Width78EightyFoldsAtTheLastSpace", 78, "N", k74 + " bc", {"N: " + k74, " bc"}},
        // A run without break characters goes whole onto a line of its own.
        FoldCase{"Width78LongRunMovesToItsOwnLine", 78, "N", std::string(80, 'a') + " b c",
                 {"N:", " " + std::string(80, 'a'), " b c"}},
        FoldCase{"CommaThenSpaceGivesTwoSpaces", 10, "N", "aaaaaa, bbb", {"N: aaaaaa,", "  bbb"}},
        // The break characters right after a break are skipped by the scan, not used as breaks.
        FoldCase{"SkippedBreakCharactersStayInThePiece", 10, "N", "aaa,bbb, ccc", {"N: aaa,", " bbb, ccc"}},
        FoldCase{"RunWithoutBreakIsNeverCut", 10, "N", std::string(30, 'z'), {"N:", " " + std::string(30, 'z')}},
        FoldCase{"RunWithoutBreakAtTheStart", 10, std::string(30, 'z'), "vw", {std::string(30, 'z') + ":", " vw"}},
        FoldCase{"NoBreakTextBeforeTheLastCharacter", 10, std::string(30, 'z'), "v", {std::string(30, 'z') + ": v"}},
        FoldCase{"QuotedTextNeverBroken", 10, "N", "\"a b c d e f\" g h",
                 {"N:", " \"a b c d e f\"", " g h"}},
        FoldCase{"SingleQuotesDoNotProtect", 10, "N", "'a b c d e f' g", {"N: 'a b c", " d e f' g"}},
        FoldCase{"ManyPieces", 10, "N", "one two three four five six",
                 {"N: one", " two three", " four five", " six"}},
        FoldCase{"ExistingBreaksKept", 78, "N", "a\r\n b\r\n\tc", {"N: a", " b", "\tc"}},
        FoldCase{"Authorization1025IsOneLine", 1024, "Authorization", "Basic " + std::string(1004, 'Q'),
                 {"Authorization: Basic " + std::string(1004, 'Q')}},
        FoldCase{"Authorization1026FoldsOnce", 1024, "Authorization", "Basic " + std::string(1001, 'Q') + "+/==",
                 {"Authorization: Basic", " " + kBase64Run1005}}),
    [](const ::testing::TestParamInfo<FoldCase>& info) { return std::string(info.param.label); });

TEST(HeaderFoldTest, FoldedValuesReadBackWhole) {
    TNetHeaderList list;
    const std::string value = "realm=\"a b c\", nonce=1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 "
                              "24 25 26 27 28 29 30 31 32 33, opaque=xyz";
    list.PutValue("WWW-Authenticate", value);
    ASSERT_GT(list.Count(), 1);
    EXPECT_EQ(list.ValueOf("www-authenticate"), value);
    for (int32_t index = 0; index < list.Count(); ++index) {
        EXPECT_LE(list.Get(index).size(), 80u) << list.Get(index);
    }
}

TEST(HeaderFoldTest, HugeValueWithManyBreaksStaysLinear) {
    TNetHeaderList list;
    std::string value;
    for (int i = 0; i < 100000; ++i) {
        value += "word, ";
    }
    value += "end";
    list.PutValue("X", value);
    EXPECT_GT(list.Count(), 5000);
    EXPECT_EQ(list.Get(list.Count() - 1).substr(0, 6), " word,");
    EXPECT_EQ(list.ValueOf("x"), value);
}

TEST(WrapForFoldTest, BreakTextAfterTheLastBreakCharacterIsLeftOut) {
    // After the break and the break characters that follow it the scan has reached the end:
    // no break text, the line goes on in the same piece.
    EXPECT_EQ(WrapForFold("aaaa b", "\r\n ", " ", 5), "aaaa b");
    EXPECT_EQ(WrapForFold("aaaa bb", "\r\n ", " ", 5), "aaaa \r\n bb");
    EXPECT_EQ(WrapForFold("aaaa bbb", "\r\n ", " ", 5), "aaaa \r\n bbb");
    EXPECT_EQ(WrapForFold("aaaa   b", "\r\n ", " ", 5), "aaaa   b");
    EXPECT_EQ(WrapForFold("", "\r\n ", " ", 5), "");
    EXPECT_EQ(WrapForFold("a b c", "", " ", 1), "a b c");
}

// Shift-JIS pairs count as two columns and their second byte is never a break character.
TEST(WrapForFoldTest, DoubleBytePairsAreNotBrokenInside) {
    // "\x81 " is a lead byte with a space as its second byte: under 932 it is one character.
    const std::string line = "aa\x81 bbbbbbbbbb";
    {
        const platform::ScopedCodePage sjis(932);
        EXPECT_EQ(WrapForFold(line, "\r\n ", " ", 5), line);
        // A lead byte at the very end is read without running past the line.
        EXPECT_EQ(WrapForFold("a b\x81", "\r\n ", " ", 2), "a \r\n b\x81");
        // Pairs count two columns each: the space after three pairs is at column 7.
        EXPECT_EQ(WrapForFold("\x82\xa0\x82\xa2\x82\xa4 xxxx", "\r\n ", " ", 6),
                  "\x82\xa0\x82\xa2\x82\xa4 \r\n xxxx");
    }
    const platform::ScopedCodePage utf8(65001);
    EXPECT_EQ(WrapForFold(line, "\r\n ", " ", 5), "aa\x81 \r\n bbbbbbbbbb");
}

}  // namespace
}  // namespace quorvane
