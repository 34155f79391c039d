#include "tcp/net_managed_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tcp/net_exception.h"
#include "tcp/net_simple_buffer.h"

namespace quorvane {
namespace {

std::string Visible(TNetSimpleBuffer& buffer) { return std::string(buffer.Data(), static_cast<size_t>(buffer.Size())); }

TEST(NetSimpleBufferTest, TakeAndDropFrontMoveTheRestAndReportEachRemoval) {
    std::vector<int32_t> removed;
    TNetSimpleBuffer buffer([&](TNetSimpleBuffer&, int32_t count) { removed.push_back(count); });
    buffer.Append("hello world", 11);

    EXPECT_EQ(buffer.TakeFront(6), "hello ");
    EXPECT_EQ(Visible(buffer), "world");
    buffer.DropFront(2);
    EXPECT_EQ(Visible(buffer), "rld");
    EXPECT_THROW(buffer.DropFront(4), ENetNotEnoughDataInBuffer);
    EXPECT_THROW(buffer.TakeFront(4), ENetNotEnoughDataInBuffer);
    EXPECT_EQ(Visible(buffer), "rld");

    buffer.DropFront(3);
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(buffer.Capacity(), 0) << "emptying releases the memory";
    EXPECT_EQ(removed, (std::vector<int32_t>{6, 2, 3}));
}

TEST(NetSimpleBufferTest, AppendWritesAtTheEndWhereverThePositionStands) {
    TNetSimpleBuffer buffer;
    buffer.Append("abc", 3);
    buffer.SetPosition(0);
    buffer.Append("def", 3);
    EXPECT_EQ(buffer.DataString(), "abcdef");
}

TEST(NetManagedBufferTest, ConsumingAdvancesThePrefixUntilTheThresholdThenPacks) {
    int32_t reported = 0;
    TNetManagedBuffer buffer([&](TNetSimpleBuffer&, int32_t count) { reported += count; });
    buffer.SetPackThreshold(8);
    buffer.Append("0123456789abcdef", 16);

    EXPECT_EQ(buffer.TakeFront(3), "012");
    EXPECT_EQ(buffer.ConsumedCount(), 3);
    EXPECT_EQ(buffer.Size(), 13);
    EXPECT_EQ(Visible(buffer), "3456789abcdef");

    buffer.DropFront(4);
    EXPECT_EQ(buffer.ConsumedCount(), 7);
    EXPECT_EQ(Visible(buffer), "789abcdef");

    buffer.DropFront(1);  // 8 consumed: the rest moves to the front
    EXPECT_EQ(buffer.ConsumedCount(), 0);
    EXPECT_EQ(buffer.Size(), 8);
    EXPECT_EQ(Visible(buffer), "89abcdef");
    EXPECT_EQ(buffer.DataString(), "89abcdef");
    EXPECT_EQ(reported, 8);
}

TEST(NetManagedBufferTest, SizePositionAndSeekingAreRelativeToTheFirstUnconsumedByte) {
    TNetManagedBuffer buffer;
    buffer.Append("abcdefgh", 8);
    buffer.DropFront(3);
    EXPECT_EQ(buffer.Position(), 5) << "the position stays on the byte after the end";
    EXPECT_EQ(buffer.Seek(0, TSeekOrigin::soBeginning), 0);
    char first[2] = {};
    EXPECT_EQ(buffer.Read(first, 2), 2);
    EXPECT_EQ(std::string(first, 2), "de");
    EXPECT_EQ(buffer.Seek(-1, TSeekOrigin::soEnd), 4);
    EXPECT_EQ(buffer.Seek(-100, TSeekOrigin::soCurrent), 0);

    buffer.Append("XY", 2);
    EXPECT_EQ(Visible(buffer), "defghXY");
    buffer.SetSize(2);
    EXPECT_EQ(Visible(buffer), "de");
    EXPECT_EQ(buffer.ConsumedCount(), 3);
}

TEST(NetManagedBufferTest, EmptyingResetsTheConsumedPrefixAndTooMuchRaises) {
    TNetManagedBuffer buffer;
    buffer.Append("abcdef", 6);
    buffer.DropFront(2);
    EXPECT_THROW(buffer.DropFront(5), ENetNotEnoughDataInBuffer);
    EXPECT_EQ(Visible(buffer), "cdef") << "a refused drop removes nothing";
    buffer.DropFront(4);
    EXPECT_EQ(buffer.ConsumedCount(), 0);
    EXPECT_EQ(buffer.Size(), 0);

    buffer.Append("xyz", 3);
    buffer.DropFront(1);
    buffer.Clear();
    EXPECT_EQ(buffer.ConsumedCount(), 0);
    buffer.Append("q", 1);
    EXPECT_EQ(buffer.DataString(), "q");
}

TEST(NetManagedBufferTest, ManyShortTakesOutOfALargeBlockKeepEveryByteInOrder) {
    TNetManagedBuffer buffer;
    std::string all;
    for (int i = 0; i < 5000; ++i) {
        all += "line " + std::to_string(i) + "\n";
    }
    buffer.Append(all.data(), static_cast<int32_t>(all.size()));
    std::string rebuilt;
    int packs = 0;
    while (buffer.Size() > 0) {
        const int32_t before = buffer.ConsumedCount();
        const int32_t take = std::min<int32_t>(buffer.Count(), 7);
        rebuilt += buffer.TakeFront(take);
        if (buffer.ConsumedCount() < before) {
            ++packs;
        }
    }
    EXPECT_EQ(rebuilt, all);
    EXPECT_GE(packs, 1);
    EXPECT_LE(packs, static_cast<int>(all.size() / 32768) + 1);
}

}  // namespace
}  // namespace quorvane
