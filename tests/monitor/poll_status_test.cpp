#include "monitor/sensor_poll.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tcp/net_exception.h"

#include "monitor/unit_target.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"
#include "support/unused_port.h"

namespace quorvane {
namespace {

using testing::ClosingSensorUnit;
using testing::KeepAliveSensorUnit;
using testing::ScriptedPeer;
using testing::ScriptedServer;
using testing::SensorAnswer;
using testing::SensorBodies;
using testing::UnitSimProcess;
using namespace std::chrono_literals;

const char* const kCommands[] = {"GetVolt", "GetTemp", "GetFan", "GetInput16"};

std::string Head(const std::string& command, uint16_t port, const std::string& authorization) {
    return "GET /Set.cmd?cmd=" + command + " HTTP/1.1\r\n" + "Host: 127.0.0.1:" + std::to_string(port) + "\r\n" +
           "Accept: text/html, */*\r\n" + "User-Agent: Mozilla/3.0 (compatible; Quorvane Net Library)\r\n" +
           "Authorization: Basic " + authorization + "\r\n\r\n";
}

// Expects each reading named by its key ("Volt3") to hold the text given with it.
void ExpectReadings(const std::vector<std::pair<std::string, std::string>>& expected) {
    const auto& all = Readings();
    for (const auto& [key, text] : expected) {
        const auto named = std::find_if(all.begin(), all.end(), [&](const TReading& r) { return r.Key() == key; });
        ASSERT_NE(named, all.end()) << key;
        EXPECT_EQ(named->Of(Reading), text) << key;
    }
}

class PollStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reading = TReadingRecord{};
        polls_ = PollCount;
        errors_ = ErrorCount;
    }
    int32_t PollsAdded() const { return PollCount - polls_; }
    int32_t ErrorsAdded() const { return ErrorCount - errors_; }

    int32_t Poll(uint16_t port, const std::string& password = "57203941", int32_t readTimeout = 2000) {
        return PollStatus("127.0.0.1", "admin", password, port, 2000, readTimeout);
    }

    int32_t polls_ = 0;
    int32_t errors_ = 0;
};

TEST_F(PollStatusTest, KeepAliveUnitGetsFourExactHeadsOnTheOneConnectionThePollOpened) {
    ScriptedServer server({KeepAliveSensorUnit()});
    EXPECT_EQ(Poll(server.Port()), 200);
    server.Stop();

    ASSERT_EQ(server.Accepted(), 1);
    std::string expected;
    for (const char* command : kCommands) expected += Head(command, server.Port(), "YWRtaW46NTcyMDM5NDE=");
    EXPECT_EQ(server.Transcripts().at(0), expected);
    EXPECT_EQ(server.ReceiveCallCounts().at(0), 4) << "each head must leave in one send";

    ExpectReadings({{"Volt1", "12.0"}, {"Volt3", "3.3"}, {"Temp2", "28.0"}, {"Fan2", "950"}, {"Input1", "0"},
                    {"Input3", "1"}, {"Input16", "0"}});
    EXPECT_EQ(PollsAdded(), 1);
    EXPECT_EQ(ErrorsAdded(), 0);
}

TEST_F(PollStatusTest, UnitThatClosesAfterEachAnswerSeesOneConnectionPerRequest) {
    ScriptedServer server(ClosingSensorUnit());
    EXPECT_EQ(Poll(server.Port()), 200);
    server.Stop();
    EXPECT_EQ(server.Accepted(), 4);
    EXPECT_EQ(Reading.Input16, "0");
    EXPECT_EQ(ErrorsAdded(), 0);
}

TEST_F(PollStatusTest, BodiesDelimitedByTheCloseMakeThePollReconnect) {
    auto untilClose = [](ScriptedPeer& peer) {
        const std::string head = peer.ReceiveUntil();
        if (head.empty()) return;
        peer.Send("HTTP/1.1 200 OK\r\n\r\n" + SensorBodies{}.For(head));
        peer.Close();
    };
    ScriptedServer server({untilClose, untilClose, untilClose, untilClose});
    EXPECT_EQ(Poll(server.Port()), 200);
    server.Stop();
    EXPECT_EQ(server.Accepted(), 4);
    EXPECT_EQ(Reading.Temp3, "41.9");
    EXPECT_EQ(ErrorsAdded(), 0);
}

struct CredentialsCase {
    const char* name;
    const char* userName;
    const char* password;
    const char* authorization;
};

class PollCredentialsTest : public PollStatusTest, public ::testing::WithParamInterface<CredentialsCase> {};

TEST_P(PollCredentialsTest, EveryRequestGoesToTheConfiguredUnitWithTheCredentialsWhole) {
    ScriptedServer server({KeepAliveSensorUnit()});
    EXPECT_EQ(PollStatus("127.0.0.1", GetParam().userName, GetParam().password, server.Port(), 2000, 2000), 200);
    server.Stop();
    ASSERT_EQ(server.Accepted(), 1);
    std::string expected;
    for (const char* command : kCommands) expected += Head(command, server.Port(), GetParam().authorization);
    EXPECT_EQ(server.Transcripts().at(0), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Credentials, PollCredentialsTest,
    ::testing::Values(CredentialsCase{"AtSign", "admin", "p@ss", "YWRtaW46cEBzcw=="},
                      CredentialsCase{"UrlCharacters", "admin", "p@ss/w?#:x", "YWRtaW46cEBzcy93PyM6eA=="},
                      CredentialsCase{"UrlCharactersInTheUserName", "us/e?r#@", "p\\w", "dXMvZT9yI0A6cFx3"},
                      CredentialsCase{"LongWithCommasAndDoubledBlanks", "admin",
                                      "long  password,with,commas  and  doubled  blanks  that  runs  past  the  fold  width  x",
                                      "YWRtaW46bG9uZyAgcGFzc3dvcmQsd2l0aCxjb21tYXMgIGFuZCAgZG91YmxlZCAgYmxhbmtzICB0aGF0"
                                      "ICBydW5zICBwYXN0ICB0aGUgIGZvbGQgIHdpZHRoICB4"}),
    [](const auto& info) { return std::string(info.param.name); });

// The settings file drops the blanks around a value when it is read; what the poll sends must
// be the same before and after a restart, or a password that worked stops working.
TEST_F(PollStatusTest, CredentialsAreSentAlikeBeforeAndAfterARestart) {
    testing::TempDir directory;
    const std::string file = directory.File("Quorvane.ini");
    TUnitSettings typed;
    typed.UserName = " admin\t";
    typed.Password = "ab  ";
    SaveUnitSettings(file, "Quorvane", typed);
    TUnitSettings restarted;
    for (const TUnitSettingKey& key : UnitSettingKeys()) LoadUnitSetting(file, "Quorvane", key, restarted);
    ASSERT_EQ(restarted.Password, "ab");

    for (const TUnitSettings& settings : {typed, restarted}) {
        ScriptedServer server({KeepAliveSensorUnit()});
        EXPECT_EQ(PollStatus("127.0.0.1", settings.UserName, settings.Password, server.Port(), 2000, 2000), 200);
        server.Stop();
        const std::string transcript = server.Transcripts().at(0);
        EXPECT_EQ(transcript.substr(0, transcript.find("\r\n\r\n") + 4), Head("GetVolt", server.Port(), "YWRtaW46YWI="));
    }
}

// The unit answers the first request and closes, then stops accepting: its listen queue is
// full, so the poll's reconnect gets no answer at all until the unit goes away (after 5 s).
TEST_F(PollStatusTest, ReconnectToAUnitThatStopsAcceptingEndsAtTheConnectLimit) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<bool> pollDone{false};
    std::thread unit([&] {
        const auto until = std::chrono::steady_clock::now() + 5s;
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) == 1) {
            ScriptedPeer peer(::accept(listener, nullptr, nullptr), until);
            const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            peer.Send(SensorAnswer(SensorBodies{}.For(peer.ReceiveUntil()), "Connection: close\r\n"));
            peer.Close();
            while (!pollDone && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
            ::close(filler);
        }
        ::close(listener);
    });
    const TPollResult result = PollUnit(TUnitTarget{"127.0.0.1", ntohs(address.sin_port), "admin", "57203941", 300, 2000});
    pollDone = true;
    unit.join();
    EXPECT_TRUE(result.Started && result.Failed);
    EXPECT_EQ(result.Readings.Volt1, "12.0");
    TReadingSet volts;
    for (const TReading& reading : ReadingsOf(TReadingGroup::Volt)) volts.set(static_cast<size_t>(reading.Index));
    EXPECT_EQ(result.Reached, volts) << "only the group that was answered";
    EXPECT_THROW(std::rethrow_exception(result.Failure), ENetConnectTimeout);
}

TEST_F(PollStatusTest, NothingListeningCountsOneErrorAndGivesMinusOne) {
    EXPECT_EQ(Poll(testing::UnusedLoopbackPort()), -1);
    EXPECT_EQ(PollsAdded(), 1);
    EXPECT_EQ(ErrorsAdded(), 1);
}

TEST_F(PollStatusTest, AnswerOfOnlyOkFailsTheFirstGroupButKeepsTheStatus) {
    Reading.Volt1 = "old";
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.ReceiveUntil();
        peer.Send(SensorAnswer("OK"));
        peer.WaitForClose(2000ms);
    }});
    EXPECT_EQ(Poll(server.Port()), 200);
    EXPECT_EQ(Reading.Volt1, "old");
    EXPECT_EQ(ErrorsAdded(), 1);
}

TEST_F(PollStatusTest, FailureInALaterGroupKeepsTheGroupsBeforeIt) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        for (int i = 0; i < 3; ++i) {
            const std::string head = peer.ReceiveUntil();
            peer.Send(SensorAnswer(i < 2 ? SensorBodies{}.For(head) : "<html>F1:1</html>"));
        }
        peer.WaitForClose(2000ms);
    }});
    Reading.Fan2 = "old";
    Reading.Input1 = "old";
    EXPECT_EQ(Poll(server.Port()), 200);
    ExpectReadings({{"Volt1", "12.0"}, {"Temp1", "35.5"}, {"Fan1", "1"}, {"Fan2", "old"}, {"Input1", "old"}});
    EXPECT_EQ(ErrorsAdded(), 1);
}

TEST_F(PollStatusTest, UnauthorizedAnswerEndsThePollAfterOneRequest) {
    ScriptedServer server({[](ScriptedPeer& peer) {
        peer.ReceiveUntil();
        peer.Send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"Q\"\r\nContent-Length: 4\r\n\r\ndeny");
        peer.WaitForClose(2000ms);
    }});
    EXPECT_EQ(Poll(server.Port(), "wrong"), 401);
    server.Stop();
    EXPECT_EQ(ErrorsAdded(), 1);
    ASSERT_EQ(server.Transcripts().size(), 1u);
    EXPECT_EQ(server.Transcripts()[0].find("GetTemp"), std::string::npos);
}

TEST_F(PollStatusTest, HostileHeaderFloodFailsOnceAndTheNextPollSucceeds) {
    ScriptedServer hostile({[](ScriptedPeer& peer) {
        peer.ReceiveUntil();
        std::string flood = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 10001; ++i) flood += "X-Junk: 1\r\n";
        peer.Send(flood);
        peer.WaitForClose(3000ms);
    }});
    Reading.Volt1 = "kept";
    EXPECT_EQ(Poll(hostile.Port()), 200);
    EXPECT_EQ(ErrorsAdded(), 1);
    EXPECT_EQ(Reading.Volt1, "kept");

    ScriptedServer good({KeepAliveSensorUnit()});
    EXPECT_EQ(Poll(good.Port()), 200);
    EXPECT_EQ(ErrorsAdded(), 1);
    EXPECT_EQ(Reading.Volt1, "12.0");
}

TEST_F(PollStatusTest, TricklingUnitIsCutOffByTheExchangeLimit) {
    // One byte every 100 ms never trips a 300 ms read limit; the exchange limit of
    // 4 x 300 + 2000 ms ends the poll anyway.
    ScriptedServer server(
        {[](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            std::string endless = "HTTP/1.1 200 OK\r\n";
            for (int i = 0; i < 100; ++i) endless += "X-Slow: 1\r\n";
            peer.SendInPieces(endless, 1, 100ms);
        }},
        15s);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Poll(server.Port(), "57203941", 300), 200);  // the status line came in time
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ErrorsAdded(), 1);
    EXPECT_GE(elapsed, 3000ms);
    EXPECT_LT(elapsed, 8000ms);  // generous: a loaded machine is slow, an unbounded poll never ends
}

// ---------------------------------------------------------------------------------------------
// Against the simulator
// ---------------------------------------------------------------------------------------------

bool LooksLikeNumber(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if ((c < '0' || c > '9') && c != '.') return false;
    }
    return true;
}

std::string BehaviourName(const ::testing::TestParamInfo<std::vector<std::string>>& info) {
    static const char* const names[] = {"KeepAlive", "Close", "Chunked", "NoLength", "Slow"};
    return names[info.index];
}

class PollSimulatorTest : public PollStatusTest, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(PollSimulatorTest, PollFillsEveryFieldWithPlausibleReadings) {
    UnitSimProcess sim(GetParam());
    ASSERT_NE(sim.Port(), 0) << sim.Error();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Poll(sim.Port()), 200);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_TRUE(LooksLikeNumber(Reading.Volt(i))) << Reading.Volt(i);
            EXPECT_TRUE(LooksLikeNumber(Reading.Temp(i))) << Reading.Temp(i);
            EXPECT_TRUE(LooksLikeNumber(Reading.Fan(i))) << Reading.Fan(i);
        }
        for (int i = 1; i <= 16; ++i) EXPECT_TRUE(Reading.Input(i) == "0" || Reading.Input(i) == "1") << i;
    }
    EXPECT_EQ(PollsAdded(), 3);
    EXPECT_EQ(ErrorsAdded(), 0);
}

INSTANTIATE_TEST_SUITE_P(Behaviours, PollSimulatorTest,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--close"},
                                           std::vector<std::string>{"--chunked"},
                                           std::vector<std::string>{"--no-length"},
                                           std::vector<std::string>{"--delay-ms", "20"}),
                         BehaviourName);

TEST_F(PollStatusTest, SimulatorRejectsWrongCredentialsAndGivenStatusCodes) {
    UnitSimProcess sim;
    ASSERT_NE(sim.Port(), 0) << sim.Error();
    EXPECT_EQ(Poll(sim.Port(), "wrong"), 401);
    UnitSimProcess failing({"--status", "503"});
    ASSERT_NE(failing.Port(), 0) << failing.Error();
    EXPECT_EQ(Poll(failing.Port()), 503);
    EXPECT_EQ(PollsAdded(), 2);
    EXPECT_EQ(ErrorsAdded(), 2);
}

TEST_F(PollStatusTest, CountersAddUpOverManyPollsAndTheSimulatorStopsByItself) {
    UnitSimProcess sim({"--max-requests", "80"});
    ASSERT_NE(sim.Port(), 0) << sim.Error();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Poll(sim.Port()), 200) << i;
    int exitCode = -1;
    EXPECT_TRUE(sim.WaitForExit(3000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Poll(sim.Port()), -1);
    EXPECT_EQ(PollsAdded(), 21);
    EXPECT_EQ(ErrorsAdded(), 1);
}

TEST(UnitSimTest, RefusesToListenOutsideLoopback) {
    UnitSimProcess sim({"--bind", "0.0.0.0"});
    EXPECT_EQ(sim.Port(), 0);
    int exitCode = -1;
    EXPECT_TRUE(sim.WaitForExit(3000, &exitCode));
    EXPECT_EQ(exitCode, 2);
}

}  // namespace
}  // namespace quorvane
