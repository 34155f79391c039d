#include "platform/locale_text.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/code_page.h"
#include "support/program_process.h"
#include "support/temp_dir.h"

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

struct SeparatorCase {
    const char* name;
    const char* timeFormat;  // the locale's time format
    const char* separator;
};

void PrintTo(const SeparatorCase& row, std::ostream* out) { *out << row.timeFormat; }

class TimeSeparatorTest : public ::testing::TestWithParam<SeparatorCase> {};

// Each row's time format goes into a locale of its own, built by the system's locale compiler
// from one line of source and taken for the length of the row.
TEST_P(TimeSeparatorTest, FollowsTheHourInTheRegionalTimeFormat) {
    const testing::TempDir directory;
    testing::WriteFile(directory.File("time.src"),
                       std::string("LC_TIME\nt_fmt \"") + GetParam().timeFormat + "\"\nEND LC_TIME\n");
    const testing::ProgramRun compiler =
        testing::RunProgram("/usr/bin/localedef", {"-c", "-i", directory.File("time.src"), directory.File("xx_TIME")});
    if (!std::filesystem::exists(directory.File("xx_TIME/LC_TIME"))) {
        GTEST_SKIP() << "localedef could not build a locale (scripts/deps.sh installs what it needs): "
                     << compiler.errors;
    }
    // setlocale, not newlocale: the latter keeps the search path of LOCPATH for good.
    const std::string previous = ::setlocale(LC_TIME, nullptr);
    ::setenv("LOCPATH", directory.Path().c_str(), 1);
    const bool taken = ::setlocale(LC_TIME, "xx_TIME") != nullptr;
    ::unsetenv("LOCPATH");
    const std::string separator = TimeSeparator();
    ::setlocale(LC_TIME, previous.c_str());
    ASSERT_TRUE(taken);
    EXPECT_EQ(separator, GetParam().separator);
}

INSTANTIATE_TEST_SUITE_P(Formats, TimeSeparatorTest,
                         ::testing::Values(SeparatorCase{"DotAfterTheHour", "%H.%M.%S", "."},
                                           SeparatorCase{"TwelveHourClock", "%l.%M.%S %p", "."},
                                           SeparatorCase{"LetterAfterTheHourIsNoSeparator", "%Hh%M", ":"},
                                           SeparatorCase{"NoHourDirective", "%T", ":"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane::platform
