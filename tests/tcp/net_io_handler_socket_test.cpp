#include "tcp/net_io_handler_socket.h"

#include <dirent.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "rtl/stream.h"
#include "support/scripted_server.h"
#include "tcp/net_exception.h"
#include "tcp/net_tcp_client.h"
#include "support/open_descriptors.h"

namespace quorvane {
namespace {

using testing::ScriptedPeer;
using testing::ScriptedServer;
using testing::OpenDescriptorCount;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// The buffered connection over real loopback sockets: what only the socket path can show.
class LoopbackTest : public ::testing::Test {
protected:
    void Connect(ScriptedServer& server) {
        client.SetHost("127.0.0.1");
        client.SetPort(server.Port());
        client.OnDisconnected = [this](TComponent*) { ++disconnected; };
        client.OpenConnection(2000);
    }
    TNetTCPClient client;
    int disconnected = 0;
};

TEST_F(LoopbackTest, LinesSplitAcrossManyReceives) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.SendInPieces("first line\r\nsecond\n\r\nthird\r\n", 3, milliseconds(2));
    }});
    Connect(server);
    EXPECT_EQ(client.ReadLine(), "first line");
    EXPECT_EQ(client.ReadLine(), "second");
    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_EQ(client.ReadLine(), "third");
}

TEST_F(LoopbackTest, ReadTimeoutRaisesAfterTheLimitAndKeepsTheConnection) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.Send("par");
        peer.ReceiveUntil("\n");
        peer.Send("tial\n");
    }});
    Connect(server);
    client.SetReadTimeout(150);
    auto start = Clock::now();
    EXPECT_THROW(client.ReadLine(), ENetReadTimeout);
    int64_t elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 140);
    EXPECT_LT(elapsed, 1000);
    EXPECT_TRUE(client.IsOpen());

    start = Clock::now();
    EXPECT_EQ(client.ReadLine("\n", 60), "");
    elapsed = MillisecondsSince(start);
    EXPECT_TRUE(client.LineTimedOut());
    EXPECT_GE(elapsed, 55);
    EXPECT_LT(elapsed, 140) << "the explicit limit overrides ReadTimeout";

    client.WriteLine("go");
    EXPECT_EQ(client.ReadLine(), "partial");
}

TEST_F(LoopbackTest, ReadTimeoutZeroWaitsWithoutLimit) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        std::this_thread::sleep_for(milliseconds(300));
        peer.Send("late\n");
    }});
    Connect(server);
    client.SetReadTimeout(0);
    EXPECT_EQ(client.ReadLine(), "late");
}

TEST_F(LoopbackTest, PeerClosingMidLineAndMidStream) {
    ScriptedServer server({[](ScriptedPeer& peer) { peer.Send("complete\nhalf a li"); },
                           [](ScriptedPeer& peer) { peer.Send(std::string(60, 's')); }});
    Connect(server);
    EXPECT_EQ(client.ReadLine(), "complete");
    EXPECT_THROW(client.ReadLine(), ENetConnClosedGracefully);
    EXPECT_EQ(client.TakeInput(), "half a li");
    EXPECT_EQ(disconnected, 1);

    client.OpenConnection(2000);
    TMemoryStream stream;
    EXPECT_THROW(client.ReadToStream(&stream, 100), ENetConnClosedGracefully);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(client.InputQueue().Size(), 60);
    EXPECT_EQ(disconnected, 2);
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(LoopbackTest, UntilCloseStreamGetsEveryByte) {
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        body += static_cast<char>('a' + i % 26);
    }
    ScriptedServer server({[body](ScriptedPeer& peer) { peer.SendInPieces(body, 7000, milliseconds(1)); }});
    Connect(server);
    TMemoryStream stream;
    client.ReadToStream(&stream, -1, true);
    EXPECT_EQ(stream.DataString(), body);
    EXPECT_EQ(disconnected, 1);
}

TEST_F(LoopbackTest, WriteCacheSendsTheHeadInOneSend) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.ReceiveUntil("\r\n\r\n");
        peer.WaitForClose(std::chrono::seconds(5));
    }});
    Connect(server);
    client.OpenWriteCache();
    client.WriteLine("GET /Set.cmd?cmd=GetVolt HTTP/1.1");
    client.WriteLine("Host: 127.0.0.1");
    client.WriteLine("Accept: text/html, */*");
    client.WriteLine("User-Agent: Mozilla/3.0 (compatible; Quorvane)");
    client.WriteLine("");
    client.CloseWriteCache();
    client.Disconnect();
    server.Stop();
    ASSERT_EQ(server.ReceiveCallCounts().size(), 1u);
    EXPECT_EQ(server.ReceiveCallCounts()[0], 1);
    EXPECT_EQ(server.Transcripts()[0],
              "GET /Set.cmd?cmd=GetVolt HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Quorvane)\r\n\r\n");
}

TEST_F(LoopbackTest, ResetByPeerIsASocketErrorWithItsCode) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.Send("x");
        std::this_thread::sleep_for(milliseconds(50));
        peer.Reset();
    }});
    Connect(server);
    client.SetReadTimeout(3000);
    try {
        client.ReadLine();
        FAIL();
    } catch (const ENetSocketError& error) {
        EXPECT_EQ(error.LastError(), 10054);
    }
}

TEST_F(LoopbackTest, PollPeerCloseSeesAnIdleCloseWithoutRaising) {
    ScriptedServer server({[](ScriptedPeer&) {}});
    Connect(server);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(client.IsOpen()) << "IsOpen alone never touches the network";
    client.PollPeerClose(false);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(disconnected, 1);
    EXPECT_THROW(client.WriteLine("late"), ENetConnClosedGracefully);
}

TEST_F(LoopbackTest, ReopeningAnOpenHandlerReleasesItsDescriptor) {
    // The peer holds its end until the client lets go, so the count settles only once both
    // ends are closed: the server's end closes on its own thread, a moment later.
    ScriptedServer server({[](ScriptedPeer& peer) { peer.WaitForClose(std::chrono::seconds(5)); }});
    const int before = OpenDescriptorCount();
    Connect(server);
    EXPECT_GT(OpenDescriptorCount(), before);
    client.SocketHandler()->OpenHandler();
    EXPECT_FALSE(client.IsOpen());
    for (int i = 0; i < 500 && OpenDescriptorCount() != before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(IOHandlerSocketTest, ClosedHandlerRefusesToSendAndReceive) {
    TNetIOHandlerSocket handler;
    char byte = 0;
    EXPECT_THROW(handler.ReceiveSome(&byte, 1), ENetClosedSocket);
    EXPECT_THROW(handler.SendSome(&byte, 1), ENetClosedSocket);
    EXPECT_THROW(handler.WaitReadable(0), ENetConnClosedGracefully);
    handler.OpenHandler();
    EXPECT_FALSE(handler.IsHandlerOpen()) << "open only once a descriptor is allocated";
    EXPECT_THROW(handler.WaitReadable(0), ENetConnClosedGracefully);
}

}  // namespace
}  // namespace quorvane
