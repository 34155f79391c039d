#include "tcp/net_tcp_connection.h"

#include <dirent.h>
#include <sys/prctl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/scripted_server.h"
#include "tcp/net_exception.h"
#include "tcp/net_io_handler_socket.h"
#include "tcp/net_stack.h"
#include "tcp/net_tcp_client.h"

namespace quorvane {
namespace {

using testing::ScriptedServer;
using testing::SilentPeer;
using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

int64_t MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<microseconds>(Clock::now() - start).count();
}

int ThreadsOfProcess() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(tasks);
    }
    return count;
}

// The waits of the connection are kept to the limit it asks for: a probe is never cut short
// (a peer gets its whole millisecond to show a close) and the socket layer's tightening of the
// kernel's timer slack for short waits does not outlive the wait.
TEST(WaitLimitTest, ShortWaitsLastTheirFullLimitAndLeaveTheTimerSlackAlone) {
    ScriptedServer server({SilentPeer(milliseconds(5000))}, milliseconds(5000));
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.OpenConnection(0);
    const int slackBefore = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);

    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        client.PollPeerClose(false);
        EXPECT_GE(MicrosecondsSince(start), 1000) << "probe " << i;
    }
    EXPECT_TRUE(client.IsOpen());

    // Limits with a part below one millisecond are waited in full, not rounded away.
    std::vector<TNetSocket> readList;
    for (int32_t limit : {2, 3}) {
        readList.assign(1, client.SocketHandler()->SocketHandle()->Descriptor());
        const auto start = Clock::now();
        EXPECT_EQ(SocketStack->SelectSockets(&readList, nullptr, nullptr, limit), 0);
        EXPECT_GE(MicrosecondsSince(start), limit * 1000) << "limit " << limit;
    }
    EXPECT_EQ(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), slackBefore);
    client.Disconnect();
}

// The timed connect's thread is gone when OpenConnection returns, on success and on failure,
// and a refused connect still reaches the caller with the socket error's text.
TEST(TimedConnectThreadTest, NoThreadOutlivesTheConnectOnAnyPath) {
    ScriptedServer server(std::vector<ScriptedServer::Script>(3, SilentPeer(milliseconds(5000))), milliseconds(5000));
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    const int before = ThreadsOfProcess();
    for (int i = 0; i < 3; ++i) {
        client.OpenConnection(2000);
        EXPECT_TRUE(client.IsOpen());
        EXPECT_EQ(ThreadsOfProcess(), before) << "connect " << i;
        client.Disconnect();
    }

    // A port nobody listens on: the server's port once it has stopped.
    server.Stop();
    const int withoutServer = ThreadsOfProcess();
    try {
        client.OpenConnection(2000);
        ADD_FAILURE() << "a refused connect must raise";
    } catch (const ENetConnectException& error) {
        EXPECT_NE(error.Message().find("Socket Error # 10061"), std::string::npos) << error.Message();
    }
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(ThreadsOfProcess(), withoutServer);
}

}  // namespace
}  // namespace quorvane
