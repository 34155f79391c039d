#include "tcp/net_anti_freeze_base.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "support/scripted_server.h"
#include "tcp/net_exception.h"
#include "tcp/net_tcp_client.h"

namespace {

// A resolver that takes its time over one name and then answers loopback for it; every other
// name goes to the real one. The socket library calls it in place of the C library's.
constexpr const char* kSlowName = "slow-unit.test";
std::atomic<int> slowLookUpMs{0};
std::atomic<int> slowLookUpsStarted{0};
std::atomic<int> slowLookUpsEnded{0};

}  // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    using Resolver = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto real = reinterpret_cast<Resolver>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node == nullptr || std::strcmp(node, kSlowName) != 0) return real(node, service, hints, result);
    ++slowLookUpsStarted;
    std::this_thread::sleep_for(std::chrono::milliseconds(slowLookUpMs.load()));
    addrinfo numeric = hints != nullptr ? *hints : addrinfo{};
    numeric.ai_flags |= AI_NUMERICHOST;
    const int answer = real("127.0.0.1", service, &numeric, result);
    ++slowLookUpsEnded;
    return answer;
}

namespace quorvane {
namespace {

class CountingAntiFreeze : public TNetAntiFreezeBase {
public:
    std::atomic<int> steps{0};
    int abortAtStep = 0;  // the program closes at that step; 0: never

protected:
    void Process() override {
        if (++steps == abortAtStep) Abort();
    }
};

// A line that arrives 400 ms after the connect, read with a generous read limit.
std::string ReadLateLine() {
    testing::ScriptedServer server({[](testing::ScriptedPeer& peer) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        peer.Send("late\r\n");
        peer.WaitForClose(std::chrono::milliseconds(2000));
    }});
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetReadTimeout(5000);
    client.OpenConnection(2000);
    return client.ReadLine();
}

// The user interface gets its turns while the main thread waits (in pieces of IdleTimeOut,
// also within a read limit far longer than the wait), never on another thread or while the
// anti-freeze is switched off.
TEST(AntiFreezeTest, ProcessesOnlyOnTheMainThreadAndOnlyWhenActive) {
    CountingAntiFreeze antiFreeze;
    antiFreeze.SetIdleTimeOut(50);
    EXPECT_EQ(ReadLateLine(), "late");
    EXPECT_GE(antiFreeze.steps.load(), 3);

    antiFreeze.steps = 0;
    std::string onWorker;
    std::thread([&] { onWorker = ReadLateLine(); }).join();
    EXPECT_EQ(onWorker, "late");
    EXPECT_EQ(antiFreeze.steps.load(), 0);

    antiFreeze.SetActive(false);
    EXPECT_EQ(ReadLateLine(), "late");
    EXPECT_EQ(antiFreeze.steps.load(), 0);
}

// A unit given by a name the resolver takes its time over: the interface keeps its turns
// during the look-up, the name still leads to the unit, a close gives up on the look-up at
// once, and the connect limit bounds it.
TEST(AntiFreezeTest, ASlowNameLookUpKeepsTheInterfaceAliveAndEndsWhenAskedOrTimedOut) {
    testing::ScriptedServer server({[](testing::ScriptedPeer& peer) {
        peer.Send("ready\r\n");
        peer.WaitForClose(std::chrono::milliseconds(2000));
    }});
    CountingAntiFreeze antiFreeze;
    antiFreeze.SetIdleTimeOut(50);
    auto connect = [&](int32_t limitMs) {
        auto client = std::make_unique<TNetTCPClient>();
        client->SetHost(kSlowName);
        client->SetPort(server.Port());
        client->SetReadTimeout(2000);
        client->OpenConnection(limitMs);
        return client;
    };
    slowLookUpMs = 600;
    EXPECT_EQ(connect(5000)->ReadLine(), "ready");
    EXPECT_GE(antiFreeze.steps.load(), 5) << "the interface waited without its turns";

    slowLookUpMs = 2500;
    antiFreeze.steps = 0;
    antiFreeze.abortAtStep = 3;
    auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(connect(10000), ENetClosedSocket);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    antiFreeze.ResetAbort();
    antiFreeze.abortAtStep = 0;

    started = std::chrono::steady_clock::now();
    EXPECT_THROW(connect(300), ENetConnectTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));

    // The look-ups given up end by themselves.
    for (int i = 0; i < 200 && slowLookUpsEnded.load() < slowLookUpsStarted.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(slowLookUpsEnded.load(), 3);
}

}  // namespace
}  // namespace quorvane
