#include "tcp/net_anti_freeze_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/scripted_server.h"
#include "tcp/net_tcp_client.h"

namespace quorvane {
namespace {

class CountingAntiFreeze : public TNetAntiFreezeBase {
public:
    std::atomic<int> steps{0};

protected:
    void Process() override { ++steps; }
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

}  // namespace
}  // namespace quorvane
