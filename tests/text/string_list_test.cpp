#include "text/string_list.h"

#include <chrono>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "rtl/exception.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using Items = std::vector<std::string>;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

Items ItemsOf(const TStrings& list) {
    Items items;
    for (int32_t index = 0; index < list.Count(); ++index) {
        items.push_back(list.Get(index));
    }
    return items;
}

void Fill(TStringList& list, const Items& items) {
    list.Clear();
    for (const auto& item : items) {
        list.Add(item);
    }
}

Items Split(const std::string& value) {
    TStringList list;
    list.Add("stale");
    list.SplitCommaText(value);
    return ItemsOf(list);
}

std::string Join(const Items& items) {
    TStringList list;
    Fill(list, items);
    return list.JoinCommaText();
}

// ---- comma text, split ----

struct SplitCase {
    std::string value;
    Items items;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.value); }

class CommaSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommaSplitTest, GivesItems) { EXPECT_THAT(Split(GetParam().value), ElementsAreArray(GetParam().items)); }

INSTANTIATE_TEST_SUITE_P(
    Rules, CommaSplitTest,
    ::testing::Values(
        SplitCase{"<html>V1:12.0,V2:5.0,V3:3.3</html>", {"<html>V1:12.0", "V2:5.0", "V3:3.3</html>"}},
        SplitCase{"a, b ,d", {"a", "b", "d"}}, SplitCase{"a,", {"a", ""}}, SplitCase{"a, ", {"a"}},
        SplitCase{",a", {"", "a"}}, SplitCase{"", {}}, SplitCase{" \t\r\n ", {}},
        SplitCase{"a,,b", {"a", "", "b"}}, SplitCase{"a b", {"a", "b"}}, SplitCase{",", {"", ""}},
        SplitCase{" , ", {""}}, SplitCase{"a,,", {"a", "", ""}},
        SplitCase{"\"x,y\" z", {"x,y", "z"}}, SplitCase{"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        SplitCase{"\"abc", {"abc"}}, SplitCase{"\"a\"\"b", {"a\"b"}}, SplitCase{"\"\"", {""}},
        SplitCase{"\"\",\"\"", {"", ""}}, SplitCase{"\"a\"b", {"a", "b"}}, SplitCase{"\"a\" ,b", {"a", "b"}},
        SplitCase{"a\"b\"", {"a\"b\""}},
        // Code 0 ends the value; bytes from 128 up are ordinary characters.
        SplitCase{std::string("a,b\0,c", 6), {"a", "b"}}, SplitCase{"\xff\x80,\xa0", {"\xff\x80", "\xa0"}},
        SplitCase{"\x01" "a\x1f" "b", {"a", "b"}}));

// ---- comma text, join ----

struct JoinCase {
    Items items;
    std::string text;
};

void PrintTo(const JoinCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.text); }

class CommaJoinTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(CommaJoinTest, GivesText) { EXPECT_EQ(Join(GetParam().items), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Rules, CommaJoinTest,
    ::testing::Values(JoinCase{{}, ""}, JoinCase{{""}, "\"\""}, JoinCase{{"", ""}, ","},
                      JoinCase{{"a", "", "b"}, "a,,b"}, JoinCase{{"x y"}, "\"x y\""},
                      JoinCase{{"a\"b"}, "\"a\"\"b\""}, JoinCase{{"a,b", "c"}, "\"a,b\",c"},
                      JoinCase{{"tab\there"}, "\"tab\there\""}, JoinCase{{"\x7f\xff"}, "\x7f\xff"},
                      JoinCase{{std::string("a\0b", 3)}, std::string("\"a\0b\"", 5)}));

TEST(CommaTextTest, JoinSplitsBackIntoTheSameItems) {
    const std::vector<Items> lists = {
        {"a"},          {""},         {"", ""},     {"", "a", ""},       {" lead", "trail "},
        {"\"", "\"\""}, {"a,b", ","}, {"x y", "z"}, {"\r\n", "\t", "\x01"}, {"<html>V1:12.0", "V3:3.3</html>"},
        {"\"quoted\"", "mid\"dle"},   {"\xe9t\xe9", "\x81\x40"}};
    for (const auto& items : lists) {
        EXPECT_THAT(Split(Join(items)), ElementsAreArray(items)) << Join(items);
    }
}

// Under code page 932 a lead byte and the byte after it are one character, so a comma,
// blank or quote in trail position neither ends an item nor needs quoting.
TEST(CommaTextTest, DoubleByteCharactersAreSteppedOverWhole) {
    platform::ScopedCodePage shiftJis(932);
    EXPECT_THAT(Split("\x83\x5c,b"), ElementsAreArray(Items{"\x83\x5c", "b"}));
    EXPECT_THAT(Split("\x81,b"), ElementsAreArray(Items{"\x81,b"}));
    EXPECT_THAT(Split("\x81 b"), ElementsAreArray(Items{"\x81 b"}));
    EXPECT_THAT(Split("\"\x81\"x\",y"), ElementsAreArray(Items{"\x81\"x", "y"}));
    EXPECT_THAT(Split("a\x81"), ElementsAreArray(Items{"a\x81"}));  // lead byte at the very end
    EXPECT_EQ(Join({"\x81,", "\x81 "}), "\x81,,\x81 ");
    EXPECT_EQ(Join({"\x81\"", "x"}), "\x81\",x");
    for (const Items& items : {Items{"\x81,", "\x81 "}, Items{"\x81\"", "x"}, Items{"\x83\x5c\x83\x5c", ""}}) {
        EXPECT_THAT(Split(Join(items)), ElementsAreArray(items));
    }
}

TEST(CommaTextTest, SingleByteCodePageSplitsAtEveryComma) {
    platform::ScopedCodePage singleByte(1252);
    EXPECT_THAT(Split("\x81,b"), ElementsAreArray(Items{"\x81", "b"}));
    EXPECT_EQ(Join({"\x81,"}), "\"\x81,\"");
}

// ---- line text ----

struct LinesCase {
    std::string text;
    Items items;
};

void PrintTo(const LinesCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.text); }

class LineTextTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LineTextTest, SplitsAtBreaks) {
    TStringList list;
    list.Add("stale");
    list.SetText(GetParam().text);
    EXPECT_THAT(ItemsOf(list), ElementsAreArray(GetParam().items));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LineTextTest,
    ::testing::Values(LinesCase{"a\r\nb\nd\r", {"a", "b", "d"}}, LinesCase{"", {}}, LinesCase{"a", {"a"}},
                      LinesCase{"a\n\r", {"a", ""}}, LinesCase{"a\r\n\r\n", {"a", ""}},
                      LinesCase{"\r\r\r", {"", "", ""}}, LinesCase{"\r\n", {""}},
                      LinesCase{std::string("a\nb\0c\nd", 7), {"a", "b"}},
                      LinesCase{std::string("\0a", 2), {}}, LinesCase{"x \t\ny", {"x \t", "y"}}));

TEST(LineTextTest, GetTextEndsEveryItem) {
    TStringList list;
    EXPECT_EQ(list.GetText(), "");
    list.SetText("a\r\nb\nd\r");
    EXPECT_EQ(list.GetText(), "a\r\nb\r\nd\r\n");
    Fill(list, {""});
    EXPECT_EQ(list.GetText(), "\r\n");
}

// ---- list operations ----

TEST(StringListTest, IndexErrorsCarryTheIndexAndLeaveTheListAlone) {
    TStringList list;
    Fill(list, {"a", "b", "c"});
    const auto expectIndexError = [&](auto&& operation, const std::string& message) {
        try {
            operation();
            ADD_FAILURE() << "no error for " << message;
        } catch (const EStringListError& error) {
            EXPECT_EQ(error.Message(), message);
        }
        EXPECT_THAT(ItemsOf(list), ElementsAreArray(Items{"a", "b", "c"}));
    };
    expectIndexError([&] { list.Get(3); }, "リストのインデックスが範囲を超えています (3)");
    expectIndexError([&] { list.Get(-1); }, "リストのインデックスが範囲を超えています (-1)");
    expectIndexError([&] { list.Put(3, "x"); }, "リストのインデックスが範囲を超えています (3)");
    expectIndexError([&] { list.Insert(4, "x"); }, "リストのインデックスが範囲を超えています (4)");
    expectIndexError([&] { list.Insert(-1, "x"); }, "リストのインデックスが範囲を超えています (-1)");
    expectIndexError([&] { list.Delete(3); }, "リストのインデックスが範囲を超えています (3)");
    expectIndexError([&] { list.GetObject(7); }, "リストのインデックスが範囲を超えています (7)");

    list.Insert(3, "d");  // insertion at Count is allowed
    list.Insert(0, "z");
    EXPECT_THAT(ItemsOf(list), ElementsAreArray(Items{"z", "a", "b", "c", "d"}));
    EXPECT_EQ(list.Add("e"), 5);
}

TEST(StringListTest, ObjectsAreCarriedThroughPutInsertDeleteAndAssign) {
    TObject first;
    TObject second;
    TStringList list;
    list.AddObject("one", &first);
    list.InsertObject(0, "zero", &second);
    list.Put(1, "uno");
    EXPECT_EQ(list.GetObject(1), &first);
    EXPECT_EQ(list.GetObject(0), &second);
    list.Delete(0);
    EXPECT_EQ(list.GetObject(0), &first);

    TStringList copy;
    copy.Add("old");
    copy.Assign(list);
    EXPECT_THAT(ItemsOf(copy), ElementsAreArray(Items{"uno"}));
    EXPECT_EQ(copy.GetObject(0), &first);
    list.Clear();
    EXPECT_EQ(copy.GetObject(0), &first);  // the copy holds its own slots
}

TEST(StringListTest, ArrayGrowsInTheStatedSteps) {
    TStringList list;
    std::vector<int32_t> capacities;
    for (int index = 0; index < 130; ++index) {
        list.Add("x");
        if (capacities.empty() || capacities.back() != list.Capacity()) {
            capacities.push_back(list.Capacity());
        }
    }
    EXPECT_THAT(capacities, ElementsAreArray({4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
    list.Clear();
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, LocateItemAndNames) {
    TStringList list;
    Fill(list, {"Alpha", "beta=2", "BETA=3", "=empty", "plain", "a=b=c"});
    EXPECT_EQ(list.LocateItem("ALPHA"), 0);
    EXPECT_EQ(list.LocateItem("gamma"), -1);
    EXPECT_EQ(list.LocateName("Beta"), 1);  // the plain list finds the first
    EXPECT_EQ(list.LocateName(""), 3);
    EXPECT_EQ(list.LocateName("plain"), -1);
    EXPECT_EQ(list.Name(2), "BETA");
    EXPECT_EQ(list.Name(4), "");
    EXPECT_EQ(list.Name(5), "a");
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.LocateItem("ALPHA"), -1);
    EXPECT_EQ(list.LocateName("BETA"), 2);
}

TEST(StringListTest, ListenersHearEachChangeOrOneBatch) {
    TStringList list;
    int changing = 0;
    int changed = 0;
    list.OnChanging = [&](TStrings& sender) {
        EXPECT_EQ(&sender, &list);
        ++changing;
    };
    list.OnChange = [&](TStrings&) { ++changed; };
    list.Add("a");
    list.Put(0, "b");
    list.Delete(0);
    EXPECT_EQ(changing, 3);
    EXPECT_EQ(changed, 3);

    changing = changed = 0;
    list.SplitCommaText("a,b,c,d");
    EXPECT_EQ(changed, 1);
    list.SetText("1\n2\n3");
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(changing, 2);

    changed = 0;
    list.HoldChanges();
    list.HoldChanges();
    list.Add("x");
    list.ReleaseChanges();
    list.Add("y");
    EXPECT_EQ(changed, 0);
    list.ReleaseChanges();
    EXPECT_EQ(changed, 1);
    list.ReleaseChanges();  // unbalanced release changes nothing
    EXPECT_EQ(list.UpdateCount(), 0);
    list.Add("z");
    EXPECT_EQ(changed, 2);
    list.Clear();
    list.Clear();  // nothing left to change
    EXPECT_EQ(changed, 3);
}

// ---- files ----

TEST(StringListFileTest, SaveAndLoadKeepBytesExactly) {
    testing::TempDir dir;
    const std::string path = dir.File("lines.txt");
    TStringList list;
    Fill(list, {"first", "", "\xff\x83\x5c", "last"});
    list.SaveLines(path);
    EXPECT_EQ(testing::ReadFile(path), "first\r\n\r\n\xff\x83\x5c\r\nlast\r\n");

    TStringList loaded;
    loaded.LoadLines(path);
    EXPECT_THAT(ItemsOf(loaded), ElementsAreArray(ItemsOf(list)));

    list.Clear();
    list.SaveLines(path);
    EXPECT_EQ(testing::ReadFile(path), "");
}

TEST(StringListFileTest, FailuresNameTheFullPathAndTheSystemText) {
    testing::TempDir dir;
    testing::ScopedWorkingDirectory cwd(dir.Path());
    const std::string base = std::filesystem::current_path().string();
    TStringList list;
    list.Add("keep");
    try {
        list.LoadLines("missing.txt");
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "ファイル \"" + base + "/missing.txt\". No such file or directory は開けません");
    }
    EXPECT_THAT(ItemsOf(list), ElementsAreArray(Items{"keep"}));

    testing::WriteFile("plain", "x");
    try {
        list.SaveLines("plain/sub.txt");
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "ファイル \"" + base + "/plain/sub.txt\". Not a directory を作成できません");
    }
}

// Hostile files load in linear time: one long line, lone CRs, binary junk, no final break.
TEST(StringListFileTest, AwkwardContentLoadsQuickly) {
    testing::TempDir dir;
    const std::string path = dir.File("junk");
    std::string junk(4 * 1024 * 1024, 'a');
    for (size_t index = 0; index < junk.size(); index += 3) {
        junk[index] = static_cast<char>((index * 7919) % 255 + 1);  // every byte but code 0
    }
    testing::WriteFile(path, junk);
    const auto start = std::chrono::steady_clock::now();
    TStringList list;
    list.LoadLines(path);
    EXPECT_EQ(list.GetText().size() > junk.size() / 2, true);

    testing::WriteFile(path, std::string(4 * 1024 * 1024, 'L'));
    list.LoadLines(path);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).size(), 4u * 1024 * 1024);

    testing::WriteFile(path, std::string(256 * 1024, '\r'));
    list.LoadLines(path);
    EXPECT_EQ(list.Count(), 256 * 1024);
    list.SplitCommaText(std::string(256 * 1024, ','));
    EXPECT_EQ(list.Count(), 256 * 1024 + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace quorvane
