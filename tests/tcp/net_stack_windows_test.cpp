#include "tcp/net_stack_windows.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tcp/net_exception.h"
#include "tcp/net_win_sock2.h"
#include "support/open_descriptors.h"

namespace quorvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class StackTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (TNetSocket s : open_) stack_.CloseDescriptor(s);
    }

    TNetSocket NewStream() {
        TNetSocket s = stack_.CreateDescriptor(NetSocketStream, 0);
        open_.push_back(s);
        return s;
    }

    void Forget(TNetSocket s) { std::erase(open_, s); }

    // A listening socket on 127.0.0.1 and a port the system picks.
    TNetSocket Listener(int32_t& port) {
        TNetSocket s = NewStream();
        EXPECT_FALSE(stack_.CheckSocketResult(stack_.BindSocket(s, NetAddressFamilyIPv4, "127.0.0.1", 0)));
        EXPECT_FALSE(stack_.CheckSocketResult(stack_.ListenSocket(s, 4)));
        int32_t family = 0;
        std::string ip;
        stack_.LocalAddressOf(s, family, ip, port);
        EXPECT_EQ(family, NetAddressFamilyIPv4);
        EXPECT_EQ(ip, "127.0.0.1");
        return s;
    }

    void ConnectedPair(TNetSocket& client, TNetSocket& server) {
        int32_t port = 0;
        TNetSocket listener = Listener(port);
        client = NewStream();
        ASSERT_FALSE(stack_.CheckSocketResult(stack_.ConnectSocket(client, NetAddressFamilyIPv4, "127.0.0.1", port)));
        std::string ip;
        int32_t remotePort = 0;
        server = stack_.AcceptConnection(listener, ip, remotePort);
        ASSERT_NE(server, InvalidNetSocket);
        open_.push_back(server);
        EXPECT_EQ(ip, "127.0.0.1");
        int32_t family = 0;
        std::string localIp;
        int32_t localPort = 0;
        stack_.LocalAddressOf(client, family, localIp, localPort);
        EXPECT_EQ(localPort, remotePort);
    }

    TNetStackWindows stack_;
    std::vector<TNetSocket> open_;
};

TEST_F(StackTest, LibraryIsStartedOnceAndStaysStarted) {
    EXPECT_TRUE(TNetStackWindows::LibraryStarted());
    EXPECT_TRUE(WinSock2Loaded());
    TNetStackWindows second;
    EXPECT_TRUE(TNetStackWindows::LibraryStarted());
}

TEST_F(StackTest, RefusedPortRaises10061) {
    int32_t port = 0;
    TNetSocket listener = Listener(port);
    stack_.CloseDescriptor(listener);
    Forget(listener);
    TNetSocket s = NewStream();
    const int32_t result = stack_.ConnectSocket(s, NetAddressFamilyIPv4, "127.0.0.1", port);
    EXPECT_EQ(result, NetSocketError);
    try {
        stack_.CheckSocketResult(result);
        ADD_FAILURE() << "refused connect passed the check";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_EQ(stack_.LastErrorCode(), 10061);
}

// A port that does not fit in 16 bits must not reach a different port: 65536 + p would be
// cut down to p, where a listener waits.
TEST_F(StackTest, PortOutsideTheRangeIsNeverTruncated) {
    int32_t port = 0;
    TNetSocket listener = Listener(port);
    for (int32_t wrong : {port + 65536, -1, -65536 + port, 1 << 30}) {
        TNetSocket s = NewStream();
        try {
            stack_.ConnectSocket(s, NetAddressFamilyIPv4, "127.0.0.1", wrong);
            ADD_FAILURE() << "connect to port " << wrong << " passed";
        } catch (const ENetSocketError& e) {
            EXPECT_EQ(e.LastError(), 10049);
            EXPECT_EQ(e.Message(), "Socket Error # 10049\r\nCannot assign requested address.");
        }
        try {
            stack_.BindSocket(s, NetAddressFamilyIPv4, "", wrong);
            ADD_FAILURE() << "bind to port " << wrong << " passed";
        } catch (const ENetSocketError& e) {
            EXPECT_EQ(e.LastError(), 10049);
        }
    }
    // Nothing arrived at the listener.
    std::vector<TNetSocket> readable{listener};
    EXPECT_EQ(stack_.SelectSockets(&readable, nullptr, nullptr, 0), 0);
}

TEST_F(StackTest, BytesTravelThroughSendAndReceive) {
    TNetSocket client, server;
    ConnectedPair(client, server);
    ASSERT_EQ(stack_.SendBytes(client, "GET /", 0, 5), 5);
    char buffer[8] = {};
    ASSERT_EQ(stack_.ReceiveBytes(server, buffer, 0, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "GET /");
    int32_t family = 0, peerPort = 0;
    std::string peerIp;
    stack_.PeerAddress(server, family, peerIp, peerPort);
    EXPECT_EQ(peerIp, "127.0.0.1");
    EXPECT_GT(peerPort, 0);
}

TEST_F(StackTest, SetOptionTakesTheTcpNoDelayOfTheCallers) {
    TNetSocket s = NewStream();
    const int32_t on = 1;
    EXPECT_FALSE(stack_.CheckSocketResult(stack_.SetSocketOption(s, NetProtocolTCP, NetOptionNoDelay, &on, 4)));
    int32_t value = 0;
    int32_t length = sizeof value;
    EXPECT_FALSE(stack_.CheckSocketResult(stack_.GetSocketOption(s, NetProtocolTCP, NetOptionNoDelay, &value, length)));
    EXPECT_NE(value, 0);
}

TEST_F(StackTest, SelectSplitsTheLimitIntoSecondsAndMicroseconds) {
    TNetSocket client, server;
    ConnectedPair(client, server);
    std::vector<TNetSocket> readable{server};
    auto start = Clock::now();
    EXPECT_EQ(stack_.SelectSockets(&readable, nullptr, nullptr, 1500), 0);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, 1450ms);
    EXPECT_LT(waited, 3000ms);
    EXPECT_TRUE(readable.empty());

    // -2 waits until a descriptor is ready.
    auto sender = std::async(std::launch::async, [this, client] {
        std::this_thread::sleep_for(200ms);
        return stack_.SendBytes(client, "x", 0, 1);
    });
    readable = {server};
    std::vector<TNetSocket> writable{client};
    start = Clock::now();
    ASSERT_EQ(stack_.SelectSockets(&readable, nullptr, nullptr, NetSelectNoLimit), 1);
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(readable, std::vector<TNetSocket>{server});
    EXPECT_EQ(sender.get(), 1);
    EXPECT_EQ(stack_.SelectSockets(nullptr, &writable, nullptr, 0), 1);
}

TEST_F(StackTest, SelectRefusesMoreThanSixtyFourAndReportsFailureWithoutRaising) {
    std::vector<TNetSocket> many(65, InvalidNetSocket);
    try {
        stack_.SelectSockets(&many, nullptr, nullptr, 0);
        ADD_FAILURE() << "65 descriptors accepted";
    } catch (const ENetStackSetSizeExceeded& e) {
        EXPECT_EQ(e.Message(), "Set Size Exceeded.");
    }
    std::vector<TNetSocket> unknown{InvalidNetSocket};
    EXPECT_EQ(stack_.SelectSockets(&unknown, nullptr, nullptr, 0), NetSocketError);
    EXPECT_EQ(unknown, std::vector<TNetSocket>{InvalidNetSocket});
}

TEST_F(StackTest, CloseFromAnotherThreadEndsABlockedReceiveAndSelect) {
    // Two connections, so that closing one waiter's socket does not wake the other by a FIN.
    TNetSocket receiver, receiverPeer, selected, selectedPeer;
    ConnectedPair(receiver, receiverPeer);
    ConnectedPair(selectedPeer, selected);
    auto receiving = std::async(std::launch::async, [this, receiver] {
        char byte;
        return stack_.ReceiveBytes(receiver, &byte, 0, 1);
    });
    std::vector<TNetSocket> readable{selected};
    auto selecting = std::async(std::launch::async, [this, &readable] {
        return stack_.SelectSockets(&readable, nullptr, nullptr, NetSelectNoLimit);
    });
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    stack_.CloseDescriptor(receiver);
    stack_.CloseDescriptor(selected);
    Forget(receiver);
    Forget(selected);
    ASSERT_EQ(receiving.wait_for(2s), std::future_status::ready);
    ASSERT_EQ(selecting.wait_for(2s), std::future_status::ready);
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(receiving.get(), NetSocketError);
    EXPECT_EQ(selecting.get(), NetSocketError);
}

TEST_F(StackTest, NameLookUps) {
    EXPECT_EQ(stack_.HostToAddress("localhost"), "127.0.0.1");
    try {
        stack_.HostToAddress("nonexistent.invalid");
        ADD_FAILURE() << "look-up passed";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.LastError(), 11001);
        EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    }
    EXPECT_EQ(stack_.LastErrorCode(), 11001);
    EXPECT_FALSE(stack_.LocalHostName().empty());
    EXPECT_EQ(stack_.AddressToHostName("127.0.0.1").rfind("localhost", 0), 0u);
}

TEST_F(StackTest, ServicesComeFromTheDatabaseOrAreNumbers) {
    EXPECT_EQ(stack_.ServiceToPort("http"), 80);
    EXPECT_EQ(stack_.ServiceToPort("8080"), 8080);
    try {
        stack_.ServiceToPort("no-such-service");
        ADD_FAILURE() << "unknown service accepted";
    } catch (const ENetInvalidServiceName& e) {
        EXPECT_EQ(e.Message(), "no-such-service is not a valid service.");
    }
    const auto names = stack_.PortToServices(80);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "http");
    EXPECT_TRUE(stack_.PortToServices(65536 + 80).empty());
}

TEST_F(StackTest, ByteOrderGoesThroughTheLibrary) {
    EXPECT_EQ(stack_.HostToNet16(0x1234), htons(0x1234));
    EXPECT_EQ(stack_.NetToHost16(htons(0x1234)), 0x1234);
    EXPECT_EQ(stack_.HostToNet32(0x01020304), htonl(0x01020304));
    EXPECT_EQ(stack_.NetToHost32(htonl(0x01020304)), 0x01020304u);
}

TEST_F(StackTest, TwoThousandDescriptorsLeaveNoFileBehind) {
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 2000; ++i) {
        TNetSocket s = stack_.CreateDescriptor(NetSocketStream, 0);
        stack_.ShutdownSocket(s, NetShutdownSend);
        ASSERT_EQ(stack_.CloseDescriptor(s), 0);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(StackTest, EntryTheLibraryDoesNotExportRaisesTheStubError) {
    try {
        WinSock2Entry(TWinSock2Row::WSAAsyncSelect);
        ADD_FAILURE() << "unexported entry bound";
    } catch (const ENetWS2StubError& e) {
        EXPECT_EQ(e.Headline(), "Error on call Winsock2 library function WSAAsyncSelect");
        EXPECT_NE(e.SystemCode(), 0);
        EXPECT_EQ(e.Message(), e.Headline() + ": " + e.SystemText());
    }
    // The neutral name of a character-set pair is looked up as its single-byte export.
    EXPECT_STREQ(WinSock2ExportName(TWinSock2Row::WSASocket), "WSASocketA");
    try {
        WinSock2Entry(TWinSock2Row::WSASocket);
        ADD_FAILURE() << "unexported entry bound";
    } catch (const ENetWS2StubError& e) {
        EXPECT_EQ(e.Headline(), "Error on call Winsock2 library function WSASocket");
    }
    // Exported rows bind, and stay bound.
    void* recvEntry = WinSock2Entry(TWinSock2Row::recv);
    EXPECT_NE(recvEntry, nullptr);
    EXPECT_EQ(WinSock2Entry(TWinSock2Row::recv), recvEntry);
}

TEST(WinSock2TableTest, RowsKeepTheirOrder) {
    EXPECT_STREQ(WinSock2CallName(TWinSock2Row::WSACleanup), "WSACleanup");
    EXPECT_STREQ(WinSock2CallName(TWinSock2Row::socket), "socket");
    EXPECT_EQ(static_cast<int32_t>(TWinSock2Row::socket), 23);
    EXPECT_STREQ(WinSock2ExportName(TWinSock2Row::WSAFDIsSet), "__WSAFDIsSet");
    EXPECT_STREQ(WinSock2CallName(TWinSock2Row::WSAProviderConfigChange), "WSAProviderConfigChange");
    EXPECT_EQ(static_cast<int32_t>(TWinSock2Row::WSAProviderConfigChange), 95);
    EXPECT_STREQ(WinSock2ExportName(TWinSock2Row::WSASetService), "WSASetServiceA");
    EXPECT_STREQ(WinSock2CallName(TWinSock2Row::WSARecvEx), "WSARecvEx");
}

}  // namespace
}  // namespace quorvane::testing
