#include "platform/locale_text.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace quorvane::platform {
namespace {

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

struct CompareCase {
    int codePage;
    std::string a;
    std::string b;
    int expected;
};

class AnsiCompareTextTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(AnsiCompareTextTest, AgreesWithComparingUpperCasedCopies) {
    const CompareCase& c = GetParam();
    const ScopedCodePage codePage(c.codePage);
    EXPECT_EQ(AnsiCompareText(c.a, c.b), c.expected);
    EXPECT_EQ(AnsiCompareText(c.b, c.a), -c.expected);
    EXPECT_EQ(Sign(AnsiUpperCase(c.a).compare(AnsiUpperCase(c.b))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnsiCompareTextTest,
    ::testing::Values(
        CompareCase{65001, "Content-Length", "content-length", 0},
        CompareCase{65001, "", "", 0},
        CompareCase{65001, "abc", "ABCD", -1},
        CompareCase{65001, "b", "A", 1},
        CompareCase{65001, "a[", "A{", -1},  // "[" (0x5B) sorts before "{" (0x7B)
        CompareCase{65001, "\xc3\xa9", "\xc3\x89", 1},  // no case change inside UTF-8 sequences
        // Under Shift-JIS the trail byte 0x61 of 0x83 0x61 is no letter "a".
        CompareCase{932, "\x83\x61", "\x83\x41", 1},
        CompareCase{65001, "\x83\x61", "\x83\x41", 0},
        // A lead byte at the very end has no trail byte: the next byte of the other text is
        // compared as it stands.
        CompareCase{932, "x\x83", "X\x83", 0},
        CompareCase{932, "\x83\x61z", "\x83\x61Z", 0},
        // The high bytes compare unsigned.
        CompareCase{932, "\xe0\x40", "a", 1}));

TEST(AnsiUpperCaseTest, LeavesTrailBytesAlone) {
    const ScopedCodePage codePage(932);
    EXPECT_EQ(AnsiUpperCase("ab\x83\x61" "c"), "AB\x83\x61" "C");
    EXPECT_EQ(AnsiLowerCase("AB\x83\x41" "C"), "ab\x83\x41" "c");
}

TEST(TimeSeparatorTest, IsNeverEmpty) { EXPECT_FALSE(TimeSeparator().empty()); }

}  // namespace
}  // namespace quorvane::platform
