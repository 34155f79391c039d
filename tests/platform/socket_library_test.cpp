#include "platform/socket/socket_api.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "support/hanging_listener.h"
#include "support/open_descriptors.h"

namespace quorvane::testing {
namespace {

namespace api = platform::sockapi;
using api::TSocket;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The library's entry points, bound by name from the library loaded beside the test (never
// linked: its names would shadow the C library's for the whole test).
struct SocketLibrary {
    platform::TLibraryHandle handle = nullptr;
    int (*WSAStartup)(unsigned short, api::TWSAData*) = nullptr;
    int (*WSAGetLastError)() = nullptr;
    void (*WSASetLastError)(int) = nullptr;
    TSocket (*socket)(int, int, int) = nullptr;
    int (*bind)(TSocket, const api::TSockAddr*, int) = nullptr;
    int (*connect)(TSocket, const api::TSockAddr*, int) = nullptr;
    int (*listen)(TSocket, int) = nullptr;
    TSocket (*accept)(TSocket, api::TSockAddr*, int*) = nullptr;
    int (*closesocket)(TSocket) = nullptr;
    int (*shutdown)(TSocket, int) = nullptr;
    int (*ioctlsocket)(TSocket, long, unsigned int*) = nullptr;
    int (*recv)(TSocket, char*, int, int) = nullptr;
    int (*send)(TSocket, const char*, int, int) = nullptr;
    int (*select)(int, api::TFdSet*, api::TFdSet*, api::TFdSet*, const api::TTimeVal*) = nullptr;
    int (*setsockopt)(TSocket, int, int, const char*, int) = nullptr;
    int (*getsockopt)(TSocket, int, int, char*, int*) = nullptr;
    int (*getsockname)(TSocket, api::TSockAddr*, int*) = nullptr;
    api::THostEnt* (*gethostbyname)(const char*) = nullptr;
    api::THostEnt* (*gethostbyaddr)(const char*, int, int) = nullptr;
    unsigned int (*inet_addr)(const char*) = nullptr;
    char* (*inet_ntoa)(api::TInAddr) = nullptr;
    unsigned short (*htons)(unsigned short) = nullptr;
    unsigned int (*htonl)(unsigned int) = nullptr;

    template <typename F>
    void Bind(F& target, const char* name) {
        target = reinterpret_cast<F>(platform::FindLibraryEntry(handle, name));
        ASSERT_NE(target, nullptr) << name;
    }

    void Load() {
        platform::TLoaderError error;
        handle = platform::LoadDynamicLibrary(api::kSocketLibraryName, &error);
        ASSERT_NE(handle, nullptr) << error.Text;
        Bind(WSAStartup, "WSAStartup");
        Bind(WSAGetLastError, "WSAGetLastError");
        Bind(WSASetLastError, "WSASetLastError");
        Bind(socket, "socket");
        Bind(bind, "bind");
        Bind(connect, "connect");
        Bind(listen, "listen");
        Bind(accept, "accept");
        Bind(closesocket, "closesocket");
        Bind(shutdown, "shutdown");
        Bind(ioctlsocket, "ioctlsocket");
        Bind(recv, "recv");
        Bind(send, "send");
        Bind(select, "select");
        Bind(setsockopt, "setsockopt");
        Bind(getsockopt, "getsockopt");
        Bind(getsockname, "getsockname");
        Bind(gethostbyname, "gethostbyname");
        Bind(gethostbyaddr, "gethostbyaddr");
        Bind(inet_addr, "inet_addr");
        Bind(inet_ntoa, "inet_ntoa");
        Bind(htons, "htons");
        Bind(htonl, "htonl");
    }
};

SocketLibrary& Lib() {
    static SocketLibrary library;
    return library;
}

class SocketLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Lib().Load();
        api::TWSAData data{};
        ASSERT_EQ(Lib().WSAStartup(api::kRequestedVersion, &data), 0);
        ASSERT_EQ(data.wVersion, api::kRequestedVersion);
    }

    void TearDown() override {
        for (TSocket s : open_) Lib().closesocket(s);
    }

    // Runs `call` on another thread and, once it waits, closes `s` under it from this one: the
    // call must come back at once and fail as on a closed socket. False when it did not wait.
    bool CloseWakes(TSocket s, const std::function<int()>& call) {
        auto blocked = std::async(std::launch::async, [&call] {
            const int result = call();
            return std::make_pair(result, Lib().WSAGetLastError());
        });
        if (blocked.wait_for(200ms) == std::future_status::ready) return false;
        const auto start = Clock::now();
        EXPECT_EQ(Lib().closesocket(s), 0);
        open_.erase(std::remove(open_.begin(), open_.end(), s), open_.end());
        EXPECT_EQ(blocked.wait_for(3s), std::future_status::ready);
        EXPECT_LT(Clock::now() - start, 1s);
        const auto [result, code] = blocked.get();
        EXPECT_EQ(result, api::kSocketError);
        EXPECT_TRUE(code == api::kWsaEIntr || code == api::kWsaENotSock) << code;
        return true;
    }

    TSocket NewSocket() {
        TSocket s = Lib().socket(api::kAfInet, api::kSockStream, 0);
        EXPECT_NE(s, api::kInvalidSocket);
        open_.push_back(s);
        return s;
    }

    static api::TSockAddrIn Loopback(uint16_t port) {
        api::TSockAddrIn address{};
        address.sin_family = api::kAfInet;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    static int Connect(TSocket s, uint16_t port) {
        api::TSockAddrIn address = Loopback(port);
        return Lib().connect(s, reinterpret_cast<api::TSockAddr*>(&address), sizeof address);
    }

    // A listening library socket on a port the system picks.
    TSocket Listener(uint16_t& port, int backlog = 4) {
        TSocket s = NewSocket();
        api::TSockAddrIn address = Loopback(0);
        EXPECT_EQ(Lib().bind(s, reinterpret_cast<api::TSockAddr*>(&address), sizeof address), 0);
        EXPECT_EQ(Lib().listen(s, backlog), 0);
        int length = sizeof address;
        EXPECT_EQ(Lib().getsockname(s, reinterpret_cast<api::TSockAddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
        return s;
    }

    // Two ends of one loopback connection, both library sockets.
    void ConnectedPair(TSocket& client, TSocket& server) {
        uint16_t port = 0;
        TSocket listener = Listener(port);
        client = NewSocket();
        ASSERT_EQ(Connect(client, port), 0);
        server = Lib().accept(listener, nullptr, nullptr);
        ASSERT_NE(server, api::kInvalidSocket);
        open_.push_back(server);
    }

    // A set that holds the one socket, as select takes it.
    static api::TFdSet SetOf(TSocket s) {
        api::TFdSet set{};
        set.fd_count = 1;
        set.fd_array[0] = s;
        return set;
    }

    std::vector<TSocket> open_;
};

TEST_F(SocketLibraryTest, HandlesAreNotDescriptorsAndAreNeverReused) {
    TSocket first = Lib().socket(api::kAfInet, api::kSockStream, 0);
    ASSERT_NE(first, api::kInvalidSocket);
    ASSERT_EQ(Lib().closesocket(first), 0);
    TSocket second = NewSocket();
    EXPECT_NE(second, first);
    // A closed handle is gone for every call.
    char byte = 0;
    EXPECT_EQ(Lib().recv(first, &byte, 1, 0), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaENotSock);
    EXPECT_EQ(Lib().closesocket(first), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaENotSock);
}

TEST_F(SocketLibraryTest, UnsupportedFamilyGivesTheInvalidHandle) {
    EXPECT_EQ(Lib().socket(23, api::kSockStream, 0), api::kInvalidSocket);
    EXPECT_EQ(api::kInvalidSocket, ~static_cast<TSocket>(0));
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEAfNoSupport);
}

TEST_F(SocketLibraryTest, LastErrorIsPerThread) {
    Lib().WSASetLastError(10061);
    std::thread other([] {
        Lib().WSASetLastError(10060);
        EXPECT_EQ(Lib().WSAGetLastError(), 10060);
    });
    other.join();
    EXPECT_EQ(Lib().WSAGetLastError(), 10061);
}

TEST_F(SocketLibraryTest, RefusedPortGives10061) {
    uint16_t port = 0;
    TSocket listener = Listener(port);
    Lib().closesocket(listener);
    TSocket s = NewSocket();
    EXPECT_EQ(Connect(s, port), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEConnRefused);
}

TEST_F(SocketLibraryTest, BytesTravelAndOrderlyCloseReadsZero) {
    TSocket client, server;
    ConnectedPair(client, server);
    ASSERT_EQ(Lib().send(client, "hello", 5, 0), 5);
    char buffer[16] = {};
    ASSERT_EQ(Lib().recv(server, buffer, sizeof buffer, 0), 5);
    EXPECT_STREQ(buffer, "hello");
    ASSERT_EQ(Lib().shutdown(client, api::kSdSend), 0);
    EXPECT_EQ(Lib().recv(server, buffer, sizeof buffer, 0), 0);
    // Sending after our own shutdown of the sending side.
    EXPECT_EQ(Lib().send(client, "x", 1, 0), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEShutdown);
}

TEST_F(SocketLibraryTest, NonBlockingModeAndPendingByteCount) {
    TSocket client, server;
    ConnectedPair(client, server);
    unsigned int on = 1;
    ASSERT_EQ(Lib().ioctlsocket(server, api::kFionBio, &on), 0);
    char buffer[8];
    EXPECT_EQ(Lib().recv(server, buffer, sizeof buffer, 0), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEWouldBlock);
    ASSERT_EQ(Lib().send(client, "abc", 3, 0), 3);
    std::this_thread::sleep_for(50ms);
    unsigned int pending = 0;
    // The command as a sign-extended 32-bit value works too.
    ASSERT_EQ(Lib().ioctlsocket(server, static_cast<long>(static_cast<int>(0x4004667F)), &pending), 0);
    EXPECT_EQ(pending, 3u);
    EXPECT_EQ(Lib().ioctlsocket(server, 0x1234, &pending), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEInval);
}

TEST_F(SocketLibraryTest, SendToAVanishedPeerFailsWithoutSigpipe) {
    // The default disposition would end the process on SIGPIPE.
    struct sigaction previous{};
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &standard, &previous);
    TSocket client, server;
    ConnectedPair(client, server);
    api::TLinger abort{1, 0};
    ASSERT_EQ(Lib().setsockopt(server, api::kSolSocket, api::kSoLinger, reinterpret_cast<char*>(&abort), sizeof abort),
              0);
    Lib().closesocket(server);
    open_.pop_back();
    std::this_thread::sleep_for(50ms);
    std::string block(65536, 'x');
    int result = 0;
    for (int i = 0; i < 20 && result != api::kSocketError; ++i)
        result = Lib().send(client, block.data(), static_cast<int>(block.size()), 0);
    EXPECT_EQ(result, api::kSocketError);
    const int code = Lib().WSAGetLastError();
    EXPECT_TRUE(code == api::kWsaEConnReset || code == api::kWsaEConnAborted) << code;
    sigaction(SIGPIPE, &previous, nullptr);
}

// Closing a socket from another thread wakes a call blocked on it.
TEST_F(SocketLibraryTest, CloseFromAnotherThreadWakesABlockedReceive) {
    TSocket client, server;
    ConnectedPair(client, server);
    EXPECT_TRUE(CloseWakes(client, [client] {
        char byte;
        return Lib().recv(client, &byte, 1, 0);
    })) << "the receive did not wait";
}

TEST_F(SocketLibraryTest, CloseFromAnotherThreadWakesABlockedSelect) {
    TSocket client, server;
    ConnectedPair(client, server);
    EXPECT_TRUE(CloseWakes(client, [client] {
        api::TFdSet set = SetOf(client);
        return Lib().select(0, &set, nullptr, nullptr, nullptr);
    })) << "the select did not wait";
}

TEST_F(SocketLibraryTest, CloseFromAnotherThreadWakesABlockedConnect) {
    HangingListener hanging;
    if (!hanging.Valid()) GTEST_SKIP() << "a hanging loopback connect could not be provoked";
    const TSocket s = NewSocket();
    if (!CloseWakes(s, [s, port = hanging.Port()] { return Connect(s, port); })) {
        GTEST_SKIP() << "this system answered a connect to a full accept queue";
    }
}

void IgnoreSignal(int) {}

TEST_F(SocketLibraryTest, ASignalDoesNotEndABlockedReceive) {
    struct sigaction action{};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART: the kernel reports EINTR
    struct sigaction previous{};
    sigaction(SIGUSR1, &action, &previous);
    TSocket client, server;
    ConnectedPair(client, server);
    std::promise<pthread_t> started;
    auto received = std::async(std::launch::async, [&started, client] {
        started.set_value(pthread_self());
        char byte = 0;
        int result = Lib().recv(client, &byte, 1, 0);
        return result == 1 ? byte : '\0';
    });
    pthread_t reader = started.get_future().get();
    std::this_thread::sleep_for(100ms);
    pthread_kill(reader, SIGUSR1);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(Lib().send(server, "z", 1, 0), 1);
    ASSERT_EQ(received.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(received.get(), 'z');
    sigaction(SIGUSR1, &previous, nullptr);
}

TEST_F(SocketLibraryTest, SelectWorksForDescriptorNumbersAboveTheSetSize) {
    // The usual soft limit is 1024 descriptors; the hard one lets a process raise it.
    struct RaisedDescriptorLimit {
        rlimit saved{};
        RaisedDescriptorLimit() {
            ::getrlimit(RLIMIT_NOFILE, &saved);
            rlimit raised = saved;
            if (raised.rlim_cur != RLIM_INFINITY && raised.rlim_cur < 2048) {
                raised.rlim_cur = raised.rlim_max == RLIM_INFINITY ? 2048 : std::min<rlim_t>(2048, raised.rlim_max);
                ::setrlimit(RLIMIT_NOFILE, &raised);
            }
        }
        ~RaisedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved); }
    } raisedLimit;
    std::vector<int> ballast;
    while (ballast.size() < 1100) {
        int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) break;
        ballast.push_back(fd);
    }
    if (ballast.empty() || ballast.back() < 1024) {
        for (int fd : ballast) ::close(fd);
        GTEST_SKIP() << "cannot open descriptors above 1024 here";
    }
    TSocket client, server;
    ConnectedPair(client, server);
    api::TFdSet set = SetOf(server);
    api::TTimeVal zero{0, 0};
    EXPECT_EQ(Lib().select(0, &set, nullptr, nullptr, &zero), 0);
    EXPECT_EQ(set.fd_count, 0u);
    ASSERT_EQ(Lib().send(client, "a", 1, 0), 1);
    set = SetOf(server);
    api::TFdSet writable = SetOf(client);
    api::TTimeVal second{1, 0};
    EXPECT_EQ(Lib().select(0, &set, &writable, nullptr, &second), 2);
    ASSERT_EQ(set.fd_count, 1u);
    EXPECT_EQ(set.fd_array[0], server);
    EXPECT_EQ(writable.fd_count, 1u);
    for (int fd : ballast) ::close(fd);
}

TEST_F(SocketLibraryTest, SelectRejectsOversizedAndUnknownSets) {
    TSocket s = NewSocket();
    api::TFdSet set{};
    set.fd_count = 65;
    api::TTimeVal zero{0, 0};
    EXPECT_EQ(Lib().select(0, &set, nullptr, nullptr, &zero), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaEInval);
    set.fd_count = 2;
    set.fd_array[0] = s;
    set.fd_array[1] = api::kInvalidSocket;
    EXPECT_EQ(Lib().select(0, &set, nullptr, nullptr, &zero), api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaENotSock);
}

TEST_F(SocketLibraryTest, SelectTimeLimitHoldsMicroseconds) {
    TSocket client, server;
    ConnectedPair(client, server);
    api::TFdSet set = SetOf(server);
    api::TTimeVal limit{0, 300000};
    const auto start = Clock::now();
    EXPECT_EQ(Lib().select(0, &set, nullptr, nullptr, &limit), 0);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 290ms);
    EXPECT_LT(waited, 1500ms);
}

TEST_F(SocketLibraryTest, OptionsUseTheCallersNumbering) {
    TSocket s = NewSocket();
    int on = 1;
    ASSERT_EQ(Lib().setsockopt(s, api::kIpProtoTcp, api::kTcpNoDelay, reinterpret_cast<char*>(&on), sizeof on), 0);
    int value = 0;
    int length = sizeof value;
    ASSERT_EQ(Lib().getsockopt(s, api::kIpProtoTcp, api::kTcpNoDelay, reinterpret_cast<char*>(&value), &length), 0);
    EXPECT_NE(value, 0);
    length = sizeof value;
    ASSERT_EQ(Lib().getsockopt(s, api::kSolSocket, api::kSoType, reinterpret_cast<char*>(&value), &length), 0);
    EXPECT_EQ(value, api::kSockStream);
    EXPECT_EQ(Lib().setsockopt(s, api::kSolSocket, 0x7777, reinterpret_cast<char*>(&on), sizeof on),
              api::kSocketError);
    EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaENoProtoOpt);
}

TEST_F(SocketLibraryTest, NameLookupsStayLocal) {
    api::THostEnt* host = Lib().gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    EXPECT_EQ(host->h_length, 4);
    EXPECT_EQ(std::memcmp(host->h_addr_list[0], "\x7f\x00\x00\x01", 4), 0);
    host = Lib().gethostbyname("127.0.0.9");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(std::memcmp(host->h_addr_list[0], "\x7f\x00\x00\x09", 4), 0);
    for (const char* name : {"nonexistent.invalid", "a..b", "bad name", "256.1.1.1"}) {
        Lib().WSASetLastError(0);
        EXPECT_EQ(Lib().gethostbyname(name), nullptr) << name;
        EXPECT_EQ(Lib().WSAGetLastError(), api::kWsaHostNotFound) << name;
    }
}

TEST_F(SocketLibraryTest, AddressTextAndByteOrder) {
    EXPECT_EQ(Lib().inet_addr("1.2.3.4"), htonl(0x01020304));
    EXPECT_EQ(Lib().inet_addr("garbage"), api::kInAddrNone);
    EXPECT_EQ(Lib().inet_addr(""), api::kInAddrNone);
    api::TInAddr address{htonl(0xC0A80A01)};
    EXPECT_STREQ(Lib().inet_ntoa(address), "192.168.10.1");
    EXPECT_EQ((Lib().htons)(0x1234), htons(0x1234));
    EXPECT_EQ((Lib().htonl)(0x12345678), htonl(0x12345678));
}

TEST_F(SocketLibraryTest, TwoThousandSocketsLeaveNoDescriptorBehind) {
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 2000; ++i) {
        TSocket s = Lib().socket(api::kAfInet, api::kSockStream, 0);
        ASSERT_NE(s, api::kInvalidSocket);
        ASSERT_EQ(Lib().closesocket(s), 0);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace quorvane::testing
