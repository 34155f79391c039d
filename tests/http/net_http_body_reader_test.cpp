#include "http/net_http_body_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "http/net_http_header_info.h"
#include "support/io/memory_io_handler.h"
#include "tcp/net_tcp_connection.h"

namespace quorvane {
namespace {

using testing::MemoryIOHandler;

// A connection to an in-memory peer that plays `incoming` in pieces of `piece` bytes and then
// closes or stays silent.
struct Peer {
    Peer(const std::string& incoming, size_t piece, bool closeAtEnd) : script(incoming), io(incoming, piece) {
        io.SetCloseAtEnd(closeAtEnd);
        connection.SetIOHandler(&io);
        connection.SetReadTimeout(200);
        io.OpenHandler();
    }
    // The bytes the reader left for whatever comes next on the connection.
    std::string Rest() {
        TNetManagedBuffer& queue = connection.InputQueue();
        return queue.TakeFront(static_cast<int32_t>(queue.Size())) + script.substr(script.size() - io.Pending());
    }

    std::string script;
    MemoryIOHandler io;
    TNetTCPConnection connection;
    TNetHTTPBodyReader reader{connection};
};

void ReadBody(Peer& peer, const std::string& headerLine, const TNetHTTPResponseLimits& limits, TStream& stream) {
    TNetResponseHeaderInfo head;
    if (!headerLine.empty()) head.HeaderLines.Add(headerLine);
    head.ReadHeaderFields();
    peer.reader.Begin(limits);
    peer.reader.Read(head, stream);
}

struct FramingCase {
    const char* name;
    std::string header;
    std::string incoming;
    std::string body;
    std::string rest;  // what stays for the next answer
    bool closeAtEnd;
};

class BodyFramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(BodyFramingTest, EveryPieceSizeReadsTheBodyAndNoMore) {
    const FramingCase& c = GetParam();
    for (size_t piece = 1; piece <= c.incoming.size(); ++piece) {
        Peer peer(c.incoming, piece, c.closeAtEnd);
        TStringStream body;
        ASSERT_NO_THROW(ReadBody(peer, c.header, {}, body)) << "piece " << piece;
        EXPECT_EQ(body.DataString(), c.body) << "piece " << piece;
        EXPECT_EQ(peer.Rest(), c.rest) << "piece " << piece;
        EXPECT_EQ(peer.connection.IsOpen(), !c.closeAtEnd) << "piece " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Framings, BodyFramingTest,
    ::testing::Values(
        FramingCase{"ContentLength", "Content-Length: 5", "helloNEXT", "hello", "NEXT", false},
        FramingCase{"ZeroLengthReadsNothing", "Content-Length: 0", "NEXT", "", "NEXT", false},
        FramingCase{"PeerClosesInsideAKnownLength", "Content-Length: 10", "abc", "abc", "", true},
        FramingCase{"Chunked", "Transfer-Encoding: chunked", "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\nNEXT",
                    "hello world", "NEXT", false},
        FramingCase{"ChunkedInAnyCaseWithTrailers", "Transfer-Encoding: Chunked",
                    "3\r\nabc\r\n0\r\nX-Sum: 1\r\nX-Other: 2\r\n\r\nNEXT", "abc", "NEXT", false},
        FramingCase{"ChunkSizeWithTextAfterABlank", "Transfer-Encoding: chunked", "5 junk\r\nhello\r\n0\r\n\r\n",
                    "hello", "", false},
        FramingCase{"ChunkExtension", "Transfer-Encoding: chunked", "3;name=value\r\nabc\r\n0\r\n\r\n", "abc", "",
                    false},
        FramingCase{"ChunkSizeNotHexEndsTheBody", "Transfer-Encoding: chunked", "zz\r\nabc\r\n0\r\n\r\n", "", "",
                    false},
        FramingCase{"ChunkSizeAllBitsEndsTheBody", "Transfer-Encoding: chunked", "FFFFFFFF\r\nabc\r\n", "", "",
                    true},
        FramingCase{"PeerClosesInsideTheTrailer", "Transfer-Encoding: chunked", "3\r\nabc\r\n0\r\nX-Sum: 1\r\n",
                    "abc", "", true},
        FramingCase{"UntilClose", "", "abc def", "abc def", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct LimitCase {
    const char* name;
    std::string header;
    std::string incoming;
    const char* message;
};

class BodyLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(BodyLimitTest, PassingALimitFailsAndClosesTheConnection) {
    const LimitCase& c = GetParam();
    Peer peer(c.incoming, 0, false);
    TStringStream body;
    try {
        ReadBody(peer, c.header, {1000, 10, 1000}, body);
        FAIL() << "must fail";
    } catch (const ENetHTTPResponseTooLarge& e) {
        EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_FALSE(peer.connection.IsOpen());
    EXPECT_LE(body.Size(), 1001);
}

std::string Repeated(int count, const std::string& text) {
    std::string result;
    for (int i = 0; i < count; ++i) result += text;
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BodyLimitTest,
    ::testing::Values(
        LimitCase{"AnnouncedLength", "Content-Length: 1001", "", "Response body of 1001 bytes exceeds 1000 bytes"},
        LimitCase{"StreamedUntilClose", "", std::string(1001, 'b'), "Response body exceeds 1000 bytes"},
        LimitCase{"ChunksAddUp", "Transfer-Encoding: chunked",
                  "1f4\r\n" + std::string(500, 'c') + "\r\n1f5\r\n", "Response body exceeds 1000 bytes"},
        LimitCase{"HugeChunk", "Transfer-Encoding: chunked", "7FFFFFFF\r\n", "Response body exceeds 1000 bytes"},
        LimitCase{"EndlessTrailer", "Transfer-Encoding: chunked", "0\r\n" + Repeated(11, "X: 1\r\n"),
                  "Response header block exceeds 10 lines"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BodyLimitTest2, BodiesExactlyAtTheLimitPass) {
    for (const char* header : {"Content-Length: 1000", ""}) {
        Peer peer(std::string(1000, 'x'), 0, true);
        TStringStream body;
        ReadBody(peer, header, {1000, 10, 1000}, body);
        EXPECT_EQ(body.Size(), 1000) << header;
    }
}

}  // namespace
}  // namespace quorvane
