#include "tcp/net_tcp_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "rtl/stream.h"
#include "support/io/memory_io_handler.h"
#include "tcp/net_exception.h"

namespace quorvane {
namespace {

using testing::MemoryIOHandler;

class TestConnection : public TNetTCPConnection {
public:
    using TNetTCPConnection::AdoptIOHandler;
    using TNetTCPConnection::TNetTCPConnection;
};

// A connection wired to an open in-memory handler. The handler is declared first so that it
// outlives the connection.
struct Wired {
    explicit Wired(std::string script, size_t pieceSize = 0, bool closeAtEnd = true) : io(std::move(script), pieceSize) {
        io.SetCloseAtEnd(closeAtEnd);
        connection.SetIOHandler(&io);
        io.OpenHandler();
    }
    MemoryIOHandler io;
    TestConnection connection;
};

// Records every event in order as text.
struct EventLog {
    void Attach(TNetTCPConnection& connection) {
        connection.OnStatus = [this](TComponent*, TNetStatus, const std::string& text) { events.push_back(text); };
        connection.OnDisconnected = [this](TComponent*) { events.push_back("OnDisconnected"); };
        connection.OnWorkBegin = [this](TComponent*, TWorkMode mode, int32_t max) {
            events.push_back(Name(mode) + " begin " + std::to_string(max));
        };
        connection.OnWork = [this](TComponent*, TWorkMode mode, int32_t count) {
            events.push_back(Name(mode) + " " + std::to_string(count));
        };
        connection.OnWorkEnd = [this](TComponent*, TWorkMode mode) { events.push_back(Name(mode) + " end"); };
    }
    static std::string Name(TWorkMode mode) { return mode == TWorkMode::wmRead ? "read" : "write"; }
    std::vector<std::string> events;
};

// ---------------------------------------------------------------------------------------
// Line reads

class LineSplitTest : public ::testing::TestWithParam<size_t> {};

TEST_P(LineSplitTest, NoSplitPointChangesTheLines) {
    Wired wired("abc\r\n\r\nxyz\nlast\r\r\nlone\rcr\n", GetParam());
    auto& connection = wired.connection;
    EXPECT_EQ(connection.ReadLine(), "abc");
    EXPECT_EQ(connection.ReadLine(), "");
    EXPECT_EQ(connection.ReadLine(), "xyz");
    EXPECT_EQ(connection.ReadLine(), "last\r") << "only one CR before the LF goes";
    EXPECT_EQ(connection.ReadLine(), "lone\rcr");
    EXPECT_THROW(connection.ReadLine(), ENetConnClosedGracefully);
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, LineSplitTest, ::testing::Values(1, 2, 3, 5, 7, 11, 0));

struct TerminatorCase {
    const char* input;
    const char* terminator;
    const char* line;
    const char* rest;
};

void PrintTo(const TerminatorCase& row, std::ostream* out) { *out << ::testing::PrintToString(row.input); }

class TerminatorTest : public ::testing::TestWithParam<std::tuple<TerminatorCase, size_t>> {};

TEST_P(TerminatorTest, LineEndsAtTheTerminator) {
    const auto& [row, pieceSize] = GetParam();
    Wired wired(row.input, pieceSize);
    EXPECT_EQ(wired.connection.ReadLine(row.terminator), row.line);
    EXPECT_EQ(wired.connection.ReadUntilClose(), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TerminatorTest,
    ::testing::Combine(::testing::Values(TerminatorCase{"abc\r\nz", "\n", "abc", "z"},
                                         TerminatorCase{"\r\nz", "\n", "", "z"},
                                         TerminatorCase{"abc\nz", "\n", "abc", "z"},
                                         TerminatorCase{"abc\nz", "", "abc", "z"},
                                         TerminatorCase{"abc\r\r\nz", "\r\n", "abc\r", "z"},
                                         TerminatorCase{"abc\r\nz", "\r\n", "abc", "z"},
                                         TerminatorCase{"a\nb\r\nz", "\r\n", "a\nb", "z"},
                                         TerminatorCase{"key: v||tail", "||", "key: v", "tail"},
                                         TerminatorCase{"x\r|\r\n", "|", "x\r", "\r\n"}),
                       ::testing::Values(size_t{1}, size_t{0})));

struct LimitCase {
    int32_t length;
    TNetMaxLineAction action;
    bool raises;
    bool split;
};

void PrintTo(const LimitCase& row, std::ostream* out) {
    *out << row.length << (row.action == TNetMaxLineAction::maSplit ? " split" : " exception");
}

class LineLimitTest : public ::testing::TestWithParam<std::tuple<LimitCase, size_t>> {};

TEST_P(LineLimitTest, DefaultLimitIs16384BytesBeforeTheLineFeed) {
    const auto& [row, pieceSize] = GetParam();
    const std::string line(static_cast<size_t>(row.length), 'x');
    Wired wired(line + "\nnext\n", pieceSize);
    auto& connection = wired.connection;
    connection.SetMaxLineAction(row.action);
    if (row.raises) {
        EXPECT_THROW(connection.ReadLine(), ENetReadLnMaxLineLengthExceeded);
        EXPECT_GT(connection.InputQueue().Size(), 16384) << "the over-long line stays queued";
        EXPECT_EQ(connection.InputQueue().Data()[0], 'x');
        return;
    }
    if (row.split) {
        std::string piece = connection.ReadLine();
        EXPECT_EQ(piece.size(), 16384u);
        std::string whole = piece;
        int pieces = 1;
        while (connection.LineSplit()) {
            whole += connection.ReadLine();
            ++pieces;
        }
        EXPECT_EQ(whole, line);
        EXPECT_EQ(pieces, (row.length + 16383) / 16384);
    } else {
        EXPECT_EQ(connection.ReadLine(), line);
        EXPECT_FALSE(connection.LineSplit());
    }
    EXPECT_EQ(connection.ReadLine(), "next");
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineLimitTest,
    ::testing::Combine(::testing::Values(LimitCase{16384, TNetMaxLineAction::maException, false, false},
                                         LimitCase{16385, TNetMaxLineAction::maException, true, false},
                                         LimitCase{16384, TNetMaxLineAction::maSplit, false, false},
                                         LimitCase{16385, TNetMaxLineAction::maSplit, false, true},
                                         LimitCase{40000, TNetMaxLineAction::maSplit, false, true}),
                       ::testing::Values(size_t{0}, size_t{1000}, size_t{16385})));

TEST(LineLimitEdgeTest, OverLongUnterminatedLineRaisesWithoutWaitingForMore) {
    // The peer stays silent after 16385 bytes: the limit must be noticed before any wait.
    Wired wired(std::string(16385, 'y'), 0, false);
    wired.connection.SetReadTimeout(60000);
    EXPECT_THROW(wired.connection.ReadLine(), ENetReadLnMaxLineLengthExceeded);
}

TEST(LineLimitEdgeTest, ExplicitMaximumAndZeroForNoLimit) {
    Wired wired("abcdef\n" + std::string(70000, 'z') + "\n");
    auto& connection = wired.connection;
    EXPECT_THROW(connection.ReadLine("\n", -1, 5), ENetReadLnMaxLineLengthExceeded);
    EXPECT_EQ(connection.ReadLine("\n", -1, 6), "abcdef");
    connection.SetMaxLineLength(0);
    EXPECT_EQ(connection.ReadLine().size(), 70000u);
}

// ---------------------------------------------------------------------------------------
// Time limits and closes

TEST(ReadTimeLimitTest, DefaultLimitRaisesExplicitLimitReturnsEmpty) {
    Wired wired("par", 0, false);
    auto& connection = wired.connection;
    connection.SetReadTimeout(20);
    EXPECT_THROW(connection.ReadLine(), ENetReadTimeout);
    EXPECT_TRUE(connection.IsOpen());

    EXPECT_EQ(connection.ReadLine("\n", 20), "");
    EXPECT_TRUE(connection.LineTimedOut());
    EXPECT_TRUE(connection.IsOpen());

    wired.io.AddIncoming("tial\n");
    EXPECT_EQ(connection.ReadLine(), "partial") << "the bytes before the time-outs were kept";
    EXPECT_FALSE(connection.LineTimedOut());
}

TEST(PeerCloseTest, CloseMidLineRaisesOnceAndLeavesTheTailForTakeInput) {
    Wired wired("abc", 1);
    EventLog log;
    log.Attach(wired.connection);
    auto& connection = wired.connection;
    EXPECT_THROW(connection.ReadLine(), ENetConnClosedGracefully);
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_TRUE(connection.PeerClosed());
    EXPECT_EQ(connection.TakeInput(), "abc");
    EXPECT_THROW(connection.ReadLine(), ENetConnClosedGracefully);
    EXPECT_EQ(log.events, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
    EXPECT_EQ(wired.io.CloseCount(), 1);
}

TEST(PeerCloseTest, QueuedBytesAreDeliveredBeforeTheCloseIsReported) {
    Wired wired("one\ntwo\nthr");
    auto& connection = wired.connection;
    EXPECT_EQ(connection.ReadLine(), "one");
    EXPECT_EQ(connection.ReadLine(), "two");
    char bytes[3] = {};
    connection.ReadBytes(bytes, 3);
    EXPECT_EQ(std::string(bytes, 3), "thr");
    EXPECT_THROW(connection.ReadBytes(bytes, 1), ENetConnClosedGracefully);
}

TEST(PeerCloseTest, ReadBytesShortOfTheCountRaisesAndKeepsWhatCame) {
    Wired wired(std::string(60, 'b'), 7);
    std::vector<char> buffer(100);
    EXPECT_THROW(wired.connection.ReadBytes(buffer.data(), 100), ENetConnClosedGracefully);
    EXPECT_EQ(wired.connection.InputQueue().Size(), 60);
}

TEST(PeerCloseTest, PollPeerCloseNoticesAClosePendingAndNeverRaisesWhenAskedNotTo) {
    Wired silent("", 0, false);
    silent.connection.PollPeerClose(false);
    EXPECT_TRUE(silent.connection.IsOpen());

    Wired closing("");
    EventLog log;
    log.Attach(closing.connection);
    closing.connection.PollPeerClose(false);
    EXPECT_FALSE(closing.connection.IsOpen());
    EXPECT_EQ(log.events, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
}

TEST(ReadUntilCloseTest, CollectsEverythingInOneWorkUnit) {
    Wired wired("alpha\nbeta\ngamma", 4);
    EventLog log;
    log.Attach(wired.connection);
    EXPECT_EQ(wired.connection.ReadUntilClose(), "alpha\nbeta\ngamma");
    EXPECT_EQ(log.events.front(), "read begin 0");
    EXPECT_EQ(log.events.back(), "read end");
    EXPECT_NE(std::find(log.events.begin(), log.events.end(), "read 16"), log.events.end());
}

TEST(ReadUntilCloseTest, ReadTimeLimitEndsItWithReadTimeout) {
    Wired wired("some", 0, false);
    wired.connection.SetReadTimeout(10);
    EXPECT_THROW(wired.connection.ReadUntilClose(), ENetReadTimeout);
}

// ---------------------------------------------------------------------------------------
// Socket errors

struct ReceiveErrorCase {
    int32_t code;
    const char* queued;  // bytes that arrive before the failing receive
    bool raises;
    bool staysOpen;
};

void PrintTo(const ReceiveErrorCase& row, std::ostream* out) { *out << row.code << " after " << ::testing::PrintToString(row.queued); }

class ReceiveErrorTest : public ::testing::TestWithParam<ReceiveErrorCase> {};

TEST_P(ReceiveErrorTest, ToleratedCodesCloseTheSocketAndDeliverQueuedBytesFirst) {
    const ReceiveErrorCase& row = GetParam();
    Wired wired(row.queued, 0, false);
    wired.io.FailReceive(std::string(row.queued).empty() ? 1 : 2, row.code);
    auto& connection = wired.connection;
    if (!std::string(row.queued).empty()) {
        connection.FillInputBuffer();
    }
    if (row.raises) {
        try {
            connection.FillInputBuffer();
            FAIL() << "no exception";
        } catch (const ENetSocketError& error) {
            EXPECT_EQ(error.LastError(), row.code);
        }
    } else {
        EXPECT_EQ(connection.FillInputBuffer(), 0);
        EXPECT_EQ(connection.TakeInput(), row.queued);
    }
    EXPECT_EQ(connection.IsOpen(), row.staysOpen);
}

INSTANTIATE_TEST_SUITE_P(Table, ReceiveErrorTest,
                         ::testing::Values(ReceiveErrorCase{10054, "", true, true},
                                           ReceiveErrorCase{10054, "abc", true, true},
                                           ReceiveErrorCase{10053, "", true, false},
                                           ReceiveErrorCase{10058, "", true, false},
                                           ReceiveErrorCase{10058, "abc", false, false},
                                           ReceiveErrorCase{10053, "abc", false, false}));

TEST(SendErrorTest, ResetClosesTheSocketOtherCodesLeaveItOpen) {
    for (const int32_t code : {10054, 10053, 10058, 10055}) {
        Wired wired("");
        wired.io.SetCloseAtEnd(false);
        wired.io.FailSend(1, code);
        try {
            wired.connection.WriteText("data");
            FAIL() << "no exception for " << code;
        } catch (const ENetSocketError& error) {
            EXPECT_EQ(error.LastError(), code);
        }
        EXPECT_EQ(wired.connection.IsOpen(), code == 10055) << code;
    }
}

// ---------------------------------------------------------------------------------------
// Streams

// Records the largest size the stream was ever set to.
class WatchedStream : public TMemoryStream {
public:
    void SetSize(int64_t newSize) override {
        largest = std::max(largest, newSize);
        TMemoryStream::SetSize(newSize);
    }
    int64_t largest = 0;
};

TEST(ReadToStreamTest, CountShortOfThePeerRaisesAndLeavesTheBytesQueued) {
    Wired wired(std::string(60, 'q'), 25);
    TMemoryStream stream;
    EXPECT_THROW(wired.connection.ReadToStream(&stream, 100), ENetConnClosedGracefully);
    EXPECT_EQ(wired.connection.InputQueue().Size(), 60);
    EXPECT_EQ(stream.Size(), stream.Position());
}

TEST(ReadToStreamTest, UntilCloseTakesEverythingAndTrimsThePresize) {
    Wired wired(std::string(60, 'q'), 25);
    TMemoryStream stream;
    wired.connection.ReadToStream(&stream, -1, true);
    EXPECT_EQ(stream.DataString(), std::string(60, 'q'));
    EXPECT_EQ(stream.Size(), 60);
}

TEST(ReadToStreamTest, WritesAtThePositionAndCutsWhatLiesBeyond) {
    Wired wired("abcdefgh");
    TMemoryStream stream;
    stream.WriteString("0123456789");
    stream.SetPosition(2);
    wired.connection.ReadToStream(&stream, 3);
    EXPECT_EQ(stream.DataString(), "01abc");
    stream.SetPosition(1);
    wired.connection.ReadToStream(&stream, 0);
    EXPECT_EQ(stream.DataString(), "0") << "count 0 reads nothing and ends the stream at its position";
    EXPECT_EQ(wired.connection.TakeInput(), "defgh");
}

TEST(ReadToStreamTest, LengthPrefixInNetworkOrder) {
    Wired wired(std::string("\0\0\0\5hello!", 10));
    TMemoryStream stream;
    wired.connection.ReadToStream(&stream);
    EXPECT_EQ(stream.DataString(), "hello");
}

TEST(ReadToStreamTest, AHugeAnnouncedCountReservesAtMostOneMebibyte) {
    Wired wired(std::string(1000, 'h'), 300);
    WatchedStream stream;
    EXPECT_THROW(wired.connection.ReadToStream(&stream, 2000000000), ENetConnClosedGracefully);
    EXPECT_LE(stream.largest, 1 << 20);
    EXPECT_EQ(stream.Size(), stream.Position());
}

TEST(ReadToStreamTest, StreamGrowsBeyondThePresizeAsBytesArrive) {
    std::string body(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 7 % 251);
    }
    Wired wired(body + "tail", 40000);
    TMemoryStream stream;
    wired.connection.ReadToStream(&stream, static_cast<int32_t>(body.size()));
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(body.size()));
    EXPECT_TRUE(stream.DataString() == body);
    EXPECT_EQ(wired.connection.TakeInput(), "tail");
}

TEST(ReadToStreamTest, ZeroReceiveSizeStillMakesProgress) {
    Wired wired("0123456789");
    wired.connection.SetRecvBufferSize(0);
    TMemoryStream stream;
    wired.connection.ReadToStream(&stream, 10);
    EXPECT_EQ(stream.DataString(), "0123456789");
}

TEST(ReadToStreamTest, ProgressCountsConsumedBytesInOneUnit) {
    Wired wired("0123456789", 3);
    wired.connection.SetRecvBufferSize(4);
    EventLog log;
    log.Attach(wired.connection);
    TMemoryStream stream;
    wired.connection.ReadToStream(&stream, 10);
    ASSERT_GE(log.events.size(), 3u);
    EXPECT_EQ(log.events.front(), "read begin 10");
    EXPECT_EQ(log.events[log.events.size() - 2], "read 10");
    EXPECT_EQ(log.events.back(), "read end");
}

// ---------------------------------------------------------------------------------------
// Writes

TEST(WriteCacheTest, RequestHeadLeavesInOneSend) {
    Wired wired("", 0, false);
    auto& connection = wired.connection;
    connection.OpenWriteCache();
    connection.WriteLine("GET /Set.cmd?cmd=GetVolt HTTP/1.1");
    connection.WriteLine("Host: 127.0.0.1:8080");
    connection.WriteLine("");
    EXPECT_EQ(wired.io.SendCalls(), 0);
    connection.CloseWriteCache();
    EXPECT_EQ(wired.io.SendCalls(), 1);
    EXPECT_EQ(wired.io.Sent(), "GET /Set.cmd?cmd=GetVolt HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n");
    EXPECT_EQ(connection.WriteCache(), nullptr);
    connection.WriteText("x");
    EXPECT_EQ(wired.io.SendCalls(), 2) << "after closing the cache writes go out at once";
}

TEST(WriteCacheTest, ThresholdSendsThatManyBytesOnTheirOwn) {
    Wired wired("", 0, false);
    auto& connection = wired.connection;
    connection.OpenWriteCache(10);
    connection.WriteText("aaaa");
    connection.WriteText("bbbb");
    EXPECT_EQ(wired.io.SendCalls(), 0);
    connection.WriteText("cccc");
    EXPECT_EQ(wired.io.Sent(), "aaaabbbbcc");
    EXPECT_EQ(connection.WriteCache()->DataString(), "cc");
    connection.WriteBytes("!", 1, true);
    EXPECT_EQ(wired.io.Sent(), "aaaabbbbcc!") << "now bypasses the cache";
    connection.ClearWriteCache();
    connection.CloseWriteCache();
    EXPECT_EQ(wired.io.Sent(), "aaaabbbbcc!");
}

TEST(WriteCacheTest, FailedFlushStillClosesTheCache) {
    Wired wired("", 0, false);
    wired.io.FailSend(1, 10055);
    wired.connection.OpenWriteCache();
    wired.connection.WriteText("head");
    EXPECT_THROW(wired.connection.CloseWriteCache(), ENetSocketError);
    EXPECT_EQ(wired.connection.WriteCache(), nullptr);
}

TEST(WriteTest, ShortSendsAreRepeatedUntilEveryByteLeft) {
    Wired wired("", 0, false);
    wired.io.SetSendPieceSize(3);
    EventLog log;
    log.Attach(wired.connection);
    wired.connection.WorkStart(TWorkMode::wmWrite, 8);
    wired.connection.WriteText("12345678");
    wired.connection.WorkFinish(TWorkMode::wmWrite);
    EXPECT_EQ(wired.io.Sent(), "12345678");
    EXPECT_EQ(wired.io.SendCalls(), 3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"write begin 8", "write 3", "write 6", "write 8", "write end"}));
}

TEST(WriteTest, EmptyTextSendsNothingEvenWhenClosed) {
    TestConnection connection;
    EXPECT_NO_THROW(connection.WriteText(""));
    EXPECT_THROW(connection.WriteText("x"), ENetNotConnected);
}

TEST(WriteTest, WriteAfterThePeerClosedRaisesEvenWithBytesQueued) {
    Wired wired("unread");
    wired.connection.FillInputBuffer();
    wired.connection.FillInputBuffer(false);  // sees the close
    EXPECT_GT(wired.connection.InputQueue().Size(), 0);
    EXPECT_THROW(wired.connection.WriteLine("more"), ENetConnClosedGracefully);
    EXPECT_EQ(wired.io.Sent(), "");
}

class ZeroReadStream : public TMemoryStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
};

TEST(WriteFromStreamTest, SendsChunksWithOptionalCountAndRange) {
    Wired wired("", 0, false);
    auto& connection = wired.connection;
    connection.SetSendBufferSize(4);
    TStringStream stream("0123456789");
    stream.SetPosition(7);
    connection.WriteFromStream(&stream);
    EXPECT_EQ(wired.io.Sent(), "0123456789") << "whole rewinds first";
    EXPECT_EQ(wired.io.SendCalls(), 3);

    stream.SetPosition(2);
    connection.WriteFromStream(&stream, false, true, 5);
    EXPECT_EQ(wired.io.Sent().substr(10), std::string("\0\0\0\5" "23456", 9));

    ZeroReadStream empty;
    empty.SetSize(10);
    EXPECT_THROW(connection.WriteFromStream(&empty), ENetNoDataToRead);
}

TEST(WriteFromStreamTest, MissingFileRaisesFileNotFound) {
    Wired wired("", 0, false);
    try {
        wired.connection.WriteFileContents("/nonexistent/quorvane.bin");
        FAIL();
    } catch (const ENetFileNotFound& error) {
        EXPECT_STREQ(error.what(), "File \"/nonexistent/quorvane.bin\" not found");
    }
}

TEST(IntegerTest, NetworkOrderBothWays) {
    Wired wired(std::string("\x01\x02\x03\x04\x01\x02\x03\x04", 8), 3, false);
    EXPECT_EQ(wired.connection.ReadInt32(), 0x01020304);
    EXPECT_EQ(static_cast<uint32_t>(wired.connection.ReadInt32(false)), 0x04030201u);
    wired.connection.WriteInt32(258);
    EXPECT_EQ(wired.io.Sent(), std::string("\0\0\x01\x02", 4));
}

// ---------------------------------------------------------------------------------------
// Filters, closing, ownership

TEST(FilterTest, AsciiFilterClearsBitSeven) {
    Wired wired("\xC1\xE2\xFF\n");
    wired.connection.SetASCIIFilter(true);
    EXPECT_EQ(wired.connection.ReadLine(), "Ab\x7F");
}

TEST(FilterTest, InterceptChainsRunInOppositeOrdersForReceiveAndSend) {
    Wired wired("in\n", 0, false);
    TNetConnectionIntercept outer;
    TNetConnectionIntercept inner;
    outer.SetIntercept(&inner);
    auto tag = [](const char* mark) {
        return [mark](TComponent*, TStream& buffer) {
            buffer.Seek(0, TSeekOrigin::soEnd);
            buffer.WriteString(mark);
        };
    };
    outer.OnReceive = tag("O");
    inner.OnReceive = tag("I");
    outer.OnSend = tag("O");
    inner.OnSend = tag("I");
    wired.connection.SetIntercept(&outer);
    EXPECT_EQ(wired.connection.ReadLine("\nIO"), "in");
    wired.connection.WriteText("out");
    EXPECT_EQ(wired.io.Sent(), "outOI");
}

TEST(CloseTest, DisconnectReportsOnceAndDropSocketReportsNothing) {
    Wired wired("", 0, false);
    EventLog log;
    log.Attach(wired.connection);
    wired.connection.DropSocket();
    EXPECT_FALSE(wired.connection.IsOpen());
    EXPECT_TRUE(wired.connection.PeerClosed());
    EXPECT_EQ(wired.connection.IOHandler(), &wired.io) << "DropSocket keeps the handler";
    EXPECT_TRUE(log.events.empty());

    wired.io.OpenHandler();
    wired.connection.ResetInput();
    wired.connection.Disconnect();
    wired.connection.Disconnect();
    EXPECT_EQ(log.events, (std::vector<std::string>{"Disconnecting.", "OnDisconnected", "Disconnected."}));
}

TEST(CloseTest, DisconnectFreesAnOwnedHandlerEvenWhenNotOpen) {
    TestConnection connection;
    EventLog log;
    log.Attach(connection);
    bool freed = false;
    auto handler = std::make_unique<MemoryIOHandler>("");
    struct Probe : TNetConnectionIntercept {
        explicit Probe(bool& flag) : flag_(flag) {}
        void Notification(TComponent* component, TOperation operation) override {
            TNetConnectionIntercept::Notification(component, operation);
            if (operation == TOperation::opRemove) {
                flag_ = true;
            }
        }
        bool& flag_;
    } probe(freed);
    handler->FreeNotification(&probe);
    connection.AdoptIOHandler(std::move(handler));
    EXPECT_TRUE(connection.OwnsIOHandler());
    connection.Disconnect();
    EXPECT_TRUE(freed);
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_FALSE(connection.OwnsIOHandler());
    EXPECT_TRUE(log.events.empty());
}

TEST(CloseTest, HandlerDestroyedElsewhereIsForgotten) {
    TestConnection connection;
    {
        MemoryIOHandler io("");
        connection.SetIOHandler(&io);
        io.OpenHandler();
        EXPECT_TRUE(connection.IsOpen());
    }
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_THROW(connection.ReadLine(), ENetNotConnected);
}

}  // namespace
}  // namespace quorvane
