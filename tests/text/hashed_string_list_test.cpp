#include "text/hashed_string_list.h"

#include <chrono>

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace quorvane {
namespace {

TEST(HashedStringListTest, HashRotatesAndMixesEveryByte) {
    EXPECT_EQ(THashedStringList::HashOf(""), 0u);
    EXPECT_EQ(THashedStringList::HashOf("A"), 0x41u);
    EXPECT_EQ(THashedStringList::HashOf("AB"), (0x41u << 2) ^ 0x42u);
    // Bits leaving at the top come back at the bottom: sixteen rotations by 2 are a full turn.
    EXPECT_EQ(THashedStringList::HashOf(std::string("\xc0") + std::string(16, '\0')), 0xC0u);
    EXPECT_EQ(THashedStringList::HashOf(std::string("\xc0") + std::string(12, '\0')), 0xC0000000u);
    EXPECT_EQ(THashedStringList::HashOf(std::string("\xc0") + std::string(13, '\0')), 0x3u);
}

TEST(HashedStringListTest, FindsTheLastOfEqualTextsIgnoringCase) {
    THashedStringList list;
    for (const char* item : {"Main", "Other", "MAIN", "main=1", "Main=2", "x=3"}) {
        list.Add(item);
    }
    EXPECT_EQ(list.LocateItem("main"), 2);
    EXPECT_EQ(list.LocateItem("OTHER"), 1);
    EXPECT_EQ(list.LocateItem("missing"), -1);
    EXPECT_EQ(list.LocateName("MAIN"), 4);
    EXPECT_EQ(list.LocateName("Other"), -1);  // a line without "=" has no name to find
    EXPECT_EQ(list.LocateName(""), -1);

    list.SetCaseSensitive(true);
    EXPECT_EQ(list.LocateItem("Main"), 0);
    EXPECT_EQ(list.LocateItem("main"), -1);
    EXPECT_EQ(list.LocateName("main"), 3);
    list.SetCaseSensitive(false);
    EXPECT_EQ(list.LocateItem("main"), 2);
}

// "A" and "DQ" share bucket 0x41, so the chain must be walked and compared.
TEST(HashedStringListTest, CollidingTextsInOneBucketStayApart) {
    ASSERT_EQ(THashedStringList::HashOf("A") % 256, THashedStringList::HashOf("DQ") % 256);
    THashedStringList list;
    list.Add("A");
    list.Add("DQ");
    list.Add("A=1");
    list.Add("DQ=2");
    EXPECT_EQ(list.LocateItem("A"), 0);
    EXPECT_EQ(list.LocateItem("dq"), 1);
    EXPECT_EQ(list.LocateName("a"), 2);
    EXPECT_EQ(list.LocateName("DQ"), 3);
}

TEST(HashedStringListTest, EveryChangeRebuildsTheTables) {
    THashedStringList list;
    list.Add("a=1");
    list.Add("b=2");
    EXPECT_EQ(list.LocateName("b"), 1);
    list.Insert(0, "b=0");
    EXPECT_EQ(list.LocateName("b"), 2);
    list.Put(2, "c=2");
    EXPECT_EQ(list.LocateName("b"), 0);
    EXPECT_EQ(list.LocateName("c"), 2);
    list.Delete(0);
    EXPECT_EQ(list.LocateName("b"), -1);
    EXPECT_EQ(list.LocateItem("C=2"), 1);
    list.SplitCommaText("x,y");
    EXPECT_EQ(list.LocateItem("c=2"), -1);
    EXPECT_EQ(list.LocateItem("Y"), 1);
    list.Clear();
    EXPECT_EQ(list.LocateItem("y"), -1);
}

// Upper-casing for the hash keeps trail bytes as they are: 0x83 0x61 and 0x83 0x41 differ.
TEST(HashedStringListTest, DoubleByteTrailBytesAreNotCaseFolded) {
    platform::ScopedCodePage shiftJis(932);
    THashedStringList list;
    list.Add("\x83\x61");
    EXPECT_EQ(list.LocateItem("\x83\x61"), 0);
    EXPECT_EQ(list.LocateItem("\x83\x41"), -1);
}

TEST(HashedStringListTest, ThousandsOfEqualOrCollidingNamesStayLinear) {
    THashedStringList list;
    constexpr int kCount = 50000;
    list.HoldChanges();
    for (int index = 0; index < kCount; ++index) {
        list.Add("same=" + std::to_string(index));
    }
    list.ReleaseChanges();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(list.LocateName("SAME"), kCount - 1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quorvane
