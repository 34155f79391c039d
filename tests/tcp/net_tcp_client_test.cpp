#include "tcp/net_tcp_client.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rtl/scope_exit.h"
#include "support/scripted_server.h"
#include "tcp/net_exception.h"
#include "tcp/net_io_handler_socket.h"
#include "tcp/net_stack.h"
#include "support/hanging_listener.h"
#include "support/open_descriptors.h"
#include "support/unused_port.h"

namespace quorvane {
namespace {

using testing::HangingListener;
using testing::ScriptedPeer;
using testing::ScriptedServer;
using testing::OpenDescriptorCount;
using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A loopback socket bound to the port; -1 when the port cannot be had.
int BindLoopback(uint16_t port, bool any = false) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(any ? INADDR_ANY : INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

ScriptedServer::Script CloseAtOnce() {
    return [](ScriptedPeer&) {};
}

ScriptedServer::Script Echo(std::string reply) {
    return [reply](ScriptedPeer& peer) {
        peer.ReceiveUntil("\n");
        peer.Send(reply);
        peer.WaitForClose(std::chrono::seconds(5));
    };
}

// ---------------------------------------------------------------------------------------
// Successful connects

struct ConnectCase {
    const char* host;
    int32_t timeout;
    bool resolves;
};

void PrintTo(const ConnectCase& row, std::ostream* out) { *out << row.host << " " << row.timeout; }

class ConnectTest : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectTest, ReportsStatusesInOrderAndIsOpen) {
    const ConnectCase& row = GetParam();
    ScriptedServer server({Echo("pong\n")});
    TNetTCPClient client;
    std::vector<std::string> statuses;
    std::vector<TComponent*> senders;
    client.OnStatus = [&](TComponent* sender, TNetStatus, const std::string& text) {
        statuses.push_back(text);
        senders.push_back(sender);
    };
    int connected = 0;
    client.OnConnected = [&](TComponent* sender) {
        EXPECT_EQ(sender, &client);
        ++connected;
    };
    client.SetHost(row.host);
    client.SetPort(server.Port());
    client.OpenConnection(row.timeout);

    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(connected, 1);
    std::vector<std::string> expected;
    if (row.resolves) {
        expected.push_back(std::string("Resolving hostname ") + row.host + ".");
    }
    expected.push_back("Connecting to 127.0.0.1.");
    expected.push_back("Connected.");
    EXPECT_EQ(statuses, expected);
    ASSERT_EQ(senders.size(), expected.size());
    EXPECT_EQ(senders.front(), client.IOHandler());
    EXPECT_EQ(senders.back(), &client);
    ASSERT_NE(client.SocketHandler(), nullptr);
    EXPECT_EQ(client.SocketHandler()->SocketHandle()->RemotePort(), server.Port());
    EXPECT_EQ(client.SocketHandler()->SocketHandle()->RemoteIP(), "127.0.0.1");

    client.WriteLine("ping");
    EXPECT_EQ(client.ReadLine(), "pong");
}

INSTANTIATE_TEST_SUITE_P(Table, ConnectTest,
                         ::testing::Values(ConnectCase{"127.0.0.1", -1, false}, ConnectCase{"127.0.0.1", 0, false},
                                           ConnectCase{"127.0.0.1", 2000, false},
                                           ConnectCase{"127.0.0.1", -2, false}, ConnectCase{"LocalHost", -1, true},
                                           ConnectCase{"localhost", 1500, true}));

TEST(ConnectTest, SecondOpenRaisesAlreadyConnectedAndDropSocketAllowsAnother) {
    ScriptedServer server({Echo("first\n"), Echo("second\n")});
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.OpenConnection(1000);
    TNetIOHandler* handler = client.IOHandler();
    EXPECT_THROW(client.OpenConnection(1000), ENetAlreadyConnected);
    client.WriteLine("x");
    EXPECT_EQ(client.ReadLine(), "first") << "the open connection was left alone";

    client.DropSocket();
    EXPECT_FALSE(client.IsOpen());
    client.OpenConnection(0);
    EXPECT_EQ(client.IOHandler(), handler) << "DropSocket keeps the handler for reuse";
    client.WriteLine("y");
    EXPECT_EQ(client.ReadLine(), "second");

    client.Disconnect();
    EXPECT_EQ(client.IOHandler(), nullptr) << "Disconnect frees the owned handler";
    EXPECT_EQ(server.Accepted(), 2);
}

TEST(ConnectTest, TimedConnectReturnsAsSoonAsTheConnectThreadFinishes) {
    ScriptedServer server(std::vector<ScriptedServer::Script>(5, CloseAtOnce()));
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    int64_t fastest = INT64_MAX;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        client.OpenConnection(2000);
        fastest = std::min(fastest, MillisecondsSince(start));
        client.Disconnect();
    }
    // Sleeping whole 125 ms slices would never get below 125 ms.
    EXPECT_LT(fastest, 60);
}

TEST(ConnectTest, ConnectAndReadAllReadsUntilTheServerCloses) {
    ScriptedServer server({[](ScriptedPeer& peer) { peer.SendInPieces("all of it\nand more", 4, std::chrono::milliseconds(1)); }});
    TNetTCPClient client;
    int disconnected = 0;
    client.OnDisconnected = [&](TComponent*) { ++disconnected; };
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    EXPECT_EQ(client.ConnectAndReadAll(), "all of it\nand more");
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(disconnected, 1);
}

// ---------------------------------------------------------------------------------------
// Failed connects

class RefusedTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(RefusedTest, RefusedPortFailsFastWithCode10061OnBothPaths) {
    const int32_t timeout = GetParam();
    // Bound but not listening: refused, and no other test can take the port meanwhile.
    const int holder = BindLoopback(0);
    ASSERT_GE(holder, 0);
    const TScopeExit closer([holder] { ::close(holder); });
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(LocalPort(holder));
    const auto start = Clock::now();
    if (timeout == 0 || timeout == -1) {
        try {
            client.OpenConnection(timeout);
            FAIL() << "connected";
        } catch (const ENetSocketError& error) {
            EXPECT_EQ(error.LastError(), 10061);
            EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
        }
    } else {
        try {
            client.OpenConnection(timeout);
            FAIL() << "connected";
        } catch (const ENetConnectException& error) {
            EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
        }
    }
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_FALSE(client.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Paths, RefusedTest, ::testing::Values(0, -1, 3000, -2));

TEST(ConnectTimeoutTest, HangingConnectTimesOutNearTheLimitAndTheClientConnectsAgain) {
    HangingListener listener;
    if (!listener.Valid()) {
        GTEST_SKIP() << "a hanging loopback connect could not be provoked";
    }
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    for (const int32_t limit : {60, 300}) {
        client.SetPort(listener.Port());
        const auto start = Clock::now();
        try {
            client.OpenConnection(limit);
            FAIL() << "connected to a full accept queue";
        } catch (const ENetConnectTimeout& error) {
            EXPECT_STREQ(error.what(), "Connect timed out.");
        }
        const int64_t elapsed = MillisecondsSince(start);
        EXPECT_GE(elapsed, limit - 5);
        EXPECT_LT(elapsed, limit + 700);
        EXPECT_FALSE(client.IsOpen());
    }
    ScriptedServer server({CloseAtOnce()});
    client.SetPort(server.Port());
    client.OpenConnection(1000);
    EXPECT_TRUE(client.IsOpen());
}

TEST(ConnectTimeoutTest, TimeOutsOnManyThreadsAtOnceCloseEachHandleSafely) {
    HangingListener listener;
    if (!listener.Valid()) {
        GTEST_SKIP() << "a hanging loopback connect could not be provoked";
    }
    std::atomic<int> timedOut{0};
    std::atomic<int> other{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            TNetTCPClient client;
            client.SetHost("127.0.0.1");
            client.SetPort(listener.Port());
            for (int i = 0; i < 5; ++i) {
                try {
                    client.OpenConnection(20 + 15 * t + i);
                    ++other;
                } catch (const ENetConnectTimeout&) {
                    ++timedOut;
                } catch (...) {
                    ++other;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(timedOut.load(), 20);
    EXPECT_EQ(other.load(), 0);
}

TEST(PortTest, InvertedBoundRangeRaisesInvalidPortRange) {
    ScriptedServer server({CloseAtOnce()}, std::chrono::milliseconds(500));
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetBoundPortLow(5000);
    client.SetBoundPortHigh(4999);
    try {
        client.OpenConnection(1000);
        FAIL();
    } catch (const ENetInvalidPortRange& error) {
        EXPECT_STREQ(error.what(), "Invalid Port Range (5000 - 4999)");
    }
    EXPECT_FALSE(client.IsOpen());
    server.Stop();
    EXPECT_EQ(server.Accepted(), 0);
}

TEST(PortTest, BoundRangeTakesTheHighestFreePortAndReportsWhenAllAreTaken) {
    // Find three neighbouring free ports and hold the highest one.
    int held = -1;
    uint16_t low = 0;
    for (int attempt = 0; attempt < 20 && held < 0; ++attempt) {
        const uint16_t candidate = testing::UnusedLoopbackPort();
        if (candidate < 1024 || candidate > 65000) {
            continue;
        }
        held = BindLoopback(static_cast<uint16_t>(candidate + 2), true);
        const int probe = BindLoopback(static_cast<uint16_t>(candidate + 1), true);
        if (held >= 0 && probe >= 0) {
            low = candidate;
            ::close(probe);
        } else {
            if (held >= 0) {
                ::close(held);
            }
            if (probe >= 0) {
                ::close(probe);
            }
            held = -1;
        }
    }
    ASSERT_GE(held, 0) << "no free port range found";
    ScriptedServer server({CloseAtOnce()});
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetBoundPortLow(low);
    client.SetBoundPortHigh(low + 2);
    client.OpenConnection(1000);
    EXPECT_EQ(client.SocketHandler()->SocketHandle()->Port(), low + 1);
    client.Disconnect();

    client.SetBoundPortLow(low + 2);
    client.SetBoundPortHigh(low + 2);
    EXPECT_THROW(client.OpenConnection(1000), ENetCanNotBindPortInRange);
    client.SetBoundPortLow(0);
    client.SetBoundPort(low + 2);
    try {
        client.OpenConnection(0);
        FAIL();
    } catch (const ENetCouldNotBindSocket& error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(client.IsOpen());
    ::close(held);
}

class PortRangeMendTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(PortRangeMendTest, PortBeyond65535IsRefusedNotTruncated) {
    ScriptedServer server({CloseAtOnce()}, std::chrono::milliseconds(500));
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port() + 65536);
    const std::string text = "Socket Error # 10049\r\nCannot assign requested address.";
    const int32_t timeout = GetParam();
    try {
        client.OpenConnection(timeout);
        FAIL() << "connected";
    } catch (const ENetSocketError& error) {
        EXPECT_TRUE(timeout == 0 || timeout == -1);
        EXPECT_EQ(error.LastError(), 10049);
        EXPECT_EQ(error.Message(), text);
    } catch (const ENetConnectException& error) {
        EXPECT_TRUE(timeout > 0);
        EXPECT_EQ(error.Message(), text);
    }
    client.SetPort(server.Port());
    client.SetBoundPort(70000);
    try {
        client.OpenConnection(timeout);
        FAIL() << "bound";
    } catch (const ENetSocketError& error) {
        EXPECT_EQ(error.LastError(), 10049);
    }
    server.Stop();
    EXPECT_EQ(server.Accepted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, PortRangeMendTest, ::testing::Values(0, 1000));

TEST(DescriptorTest, TwoThousandConnectCloseCyclesLeakNoDescriptor) {
    constexpr int kCycles = 2000;
    const int before = OpenDescriptorCount();
    {
        ScriptedServer server(std::vector<ScriptedServer::Script>(kCycles, CloseAtOnce()), std::chrono::seconds(100));
        TNetTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(server.Port());
        for (int i = 0; i < kCycles; ++i) {
            client.OpenConnection(i % 2 == 0 ? 2000 : 0);
            if (i % 3 == 0) {
                client.Disconnect();
            } else {
                client.DropSocket();
            }
        }
        server.Stop();
        EXPECT_EQ(server.Accepted(), kCycles);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace quorvane
