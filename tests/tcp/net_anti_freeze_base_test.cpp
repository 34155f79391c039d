#include "tcp/net_anti_freeze_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "support/scripted_server.h"
#include "tcp/net_exception.h"
#include "tcp/net_tcp_client.h"

namespace quorvane {
namespace {

using testing::ScriptedPeer;
using testing::ScriptedServer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class CountingAntiFreeze : public TNetAntiFreezeBase {
public:
    std::atomic<int> steps{0};
    std::function<void()> onStep;

protected:
    void Process() override {
        ++steps;
        if (onStep) onStep();
    }
};

// A line that arrives 400 ms after the connect, read with a generous read limit.
std::string ReadLateLine() {
    ScriptedServer server({[](ScriptedPeer& peer) {
        std::this_thread::sleep_for(milliseconds(400));
        peer.Send("late\r\n");
        peer.WaitForClose(milliseconds(2000));
    }});
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetReadTimeout(5000);
    client.OpenConnection(2000);
    return client.ReadLine();
}

// The hook gives the user interface its turns while the main thread waits, and never on
// another thread or while switched off; only one can exist.
TEST(AntiFreezeTest, ProcessesOnlyOnTheMainThreadAndOnlyWhenActive) {
    CountingAntiFreeze antiFreeze;
    antiFreeze.SetIdleTimeOut(50);
    EXPECT_EQ(ReadLateLine(), "late");
    EXPECT_GE(antiFreeze.steps.load(), 3) << "a 400 ms wait in pieces of 50 ms";

    antiFreeze.steps = 0;
    std::string onWorker;
    std::thread([&] { onWorker = ReadLateLine(); }).join();
    EXPECT_EQ(onWorker, "late");
    EXPECT_EQ(antiFreeze.steps.load(), 0);

    antiFreeze.SetActive(false);
    EXPECT_EQ(ReadLateLine(), "late");
    EXPECT_EQ(antiFreeze.steps.load(), 0);

    try {
        CountingAntiFreeze second;
        ADD_FAILURE() << "a second one was created";
    } catch (const ENetException& error) {
        EXPECT_EQ(error.Message(), "Only one TNetAntiFreeze can exist per application.");
    }
    EXPECT_EQ(TNetAntiFreezeBase::Current(), &antiFreeze);
}

// A process step that aborts (the window is closing) ends a long read at once: the socket is
// closed and the read raises instead of waiting out its limit.
TEST(AntiFreezeTest, AbortInAProcessStepClosesTheSocketAndEndsTheRead) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.ReceiveUntil("\n");
        peer.WaitForClose(milliseconds(5000));
    }});
    CountingAntiFreeze antiFreeze;
    antiFreeze.SetIdleTimeOut(50);
    antiFreeze.onStep = [&] {
        if (antiFreeze.steps == 4) antiFreeze.Abort();
    };
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetReadTimeout(10000);
    client.OpenConnection(0);  // in use: a connect on the connect thread
    client.WriteLine("hello");
    const auto start = Clock::now();
    EXPECT_THROW(client.ReadLine(), ENetClosedSocket);
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
    EXPECT_FALSE(client.IsOpen());
    EXPECT_THROW(client.WriteLine("again"), ENetException) << "the connection stays closed";
    server.Stop();
    ASSERT_EQ(server.Transcripts().size(), 1u);
    EXPECT_EQ(server.Transcripts()[0], "hello\r\n");
}

}  // namespace
}  // namespace quorvane
