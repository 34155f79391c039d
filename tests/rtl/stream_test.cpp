#include "rtl/stream.h"

#include <gtest/gtest.h>

#include "rtl/exception.h"

namespace quorvane {
namespace {

TEST(MemoryStreamTest, WritesGrowAndReadsStopAtTheEnd) {
    TMemoryStream stream;
    stream.WriteString("hello");
    stream.WriteString(" world");
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Position(), 11);

    stream.SetPosition(6);
    char buffer[16] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
}

TEST(MemoryStreamTest, OverwriteInTheMiddleKeepsTheTail) {
    TMemoryStream stream;
    stream.WriteString("abcdef");
    stream.SetPosition(2);
    stream.WriteString("XY");
    EXPECT_EQ(stream.DataString(), "abXYef");
    EXPECT_EQ(stream.Size(), 6);
}

TEST(MemoryStreamTest, SetSizeCutsAndClampsThePosition) {
    TMemoryStream stream;
    stream.WriteString("abcdef");
    stream.SetSize(3);
    EXPECT_EQ(stream.Position(), 3);
    EXPECT_EQ(stream.DataString(), "abc");
    stream.SetSize(5);
    EXPECT_EQ(stream.DataString(), std::string("abc\0\0", 5));
}

TEST(MemoryStreamTest, SeekNeverGoesBeforeTheStart) {
    TMemoryStream stream;
    stream.WriteString("abc");
    EXPECT_EQ(stream.Seek(-10, TSeekOrigin::soCurrent), 0);
    EXPECT_EQ(stream.Seek(-1, TSeekOrigin::soEnd), 2);
}

TEST(MemoryStreamTest, ClearReleasesEverything) {
    TMemoryStream stream;
    stream.WriteString(std::string(100000, 'x'));
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Capacity(), 0);
}

TEST(ReadOnlyMemoryStreamTest, ReadsButRefusesWrites) {
    const std::string text = "view";
    TReadOnlyMemoryStream stream(text.data(), static_cast<int64_t>(text.size()));
    char buffer[4];
    stream.ReadBuffer(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "view");
    EXPECT_THROW(stream.ReadBuffer(buffer, 1), EStreamError);
    EXPECT_THROW(stream.WriteString("x"), EStreamError);
}

TEST(StreamTest, CopyFromWithZeroCountCopiesTheWholeSource) {
    TStringStream source("0123456789");
    source.SetPosition(7);
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 10);
    EXPECT_EQ(target.DataString(), "0123456789");
}

}  // namespace
}  // namespace quorvane
