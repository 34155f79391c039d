#include "poll_command/poll_command.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/program_process.h"
#include "platform/code_page.h"
#include "support/promtool.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"

namespace quorvane {
namespace {

using testing::ProgramProcess;
using testing::ProgramRun;
using testing::TempDir;
using testing::UnitSimProcess;
using namespace std::chrono_literals;

const std::string kProgram = ProgramProcess::BesideTest("quorvane-poll");

// The command with the unit at the simulator's port; the test's own QUORVANE_PASSWORD never leaks in.
ProgramRun Poll(const UnitSimProcess& unit, std::vector<std::string> arguments,
                const std::vector<std::string>& environment = {}) {
    arguments.insert(arguments.begin(), {"--address", "127.0.0.1", "--port", std::to_string(unit.Port()),
                                         "--connect-timeout", "2", "--read-timeout", "5"});
    return testing::RunProgram(kProgram, arguments, environment, {"QUORVANE_PASSWORD"});
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(QuorvanePollTest, GoodPollInEachFormat) {
    UnitSimProcess unit;
    ASSERT_NE(unit.Port(), 0) << unit.Error();

    const ProgramRun text = Poll(unit, {});
    EXPECT_EQ(text.exitCode, kExitPollSucceeded) << text.errors;
    EXPECT_EQ(Count(text.output, "\n"), 1u + 3 + 3 + 3 + 16) << text.output;
    EXPECT_NE(text.output.find(" poll succeeded, response code 200, "), std::string::npos);
    EXPECT_NE(text.output.find("\ntemperature 3: "), std::string::npos);
    EXPECT_EQ(text.errors, "");

    const ProgramRun json = Poll(unit, {"--format", "json", "--unit", "desk"});
    EXPECT_EQ(json.exitCode, kExitPollSucceeded) << json.errors;
    EXPECT_EQ(Count(json.output, "\n"), 1u);
    EXPECT_EQ(json.output.rfind("{\"time\":\"", 0), 0u) << json.output;
    EXPECT_NE(json.output.find(",\"unit\":\"desk\",\"succeeded\":true,\"response_code\":200,"), std::string::npos);
    EXPECT_EQ(json.output.find("null"), std::string::npos) << "the simulator sends numbers only";

    const ProgramRun prometheus = Poll(unit, {"--format", "prometheus"});
    EXPECT_EQ(prometheus.exitCode, kExitPollSucceeded) << prometheus.errors;
    EXPECT_EQ(Count(prometheus.output, "\nquorvane_temperature_celsius{sensor="), 3u) << prometheus.output;
    EXPECT_EQ(Count(prometheus.output, "\nquorvane_input_on{input="), 16u);
    EXPECT_NE(prometheus.output.find("\nquorvane_poll_success 1\n"), std::string::npos);
    if (!testing::PromtoolPresent()) GTEST_SKIP() << "promtool is not installed (scripts/test installs it)";
    EXPECT_EQ(testing::PromtoolProblems(prometheus.output), "");
}

TEST(QuorvanePollTest, FailedPollInEachFormat) {
    UnitSimProcess unit;
    ASSERT_NE(unit.Port(), 0) << unit.Error();
    const std::vector<std::string> wrongPassword{"QUORVANE_PASSWORD=wrong"};
    const std::string reason = "quorvane-poll: 401 Unauthorized: check user name and password\n";

    const ProgramRun text = Poll(unit, {}, wrongPassword);
    EXPECT_EQ(text.exitCode, kExitPollFailed);
    EXPECT_EQ(text.errors, reason);
    EXPECT_EQ(Count(text.output, "\n"), 1u) << text.output;
    EXPECT_NE(text.output.find(" poll failed, response code 401, "), std::string::npos);

    const ProgramRun json = Poll(unit, {"--format", "json"}, wrongPassword);
    EXPECT_EQ(json.exitCode, kExitPollFailed);
    EXPECT_NE(json.output.find("\"succeeded\":false,\"response_code\":401,"), std::string::npos) << json.output;
    EXPECT_NE(json.output.find(",\"error\":\"401 Unauthorized: check user name and password\"}\n"), std::string::npos);
    EXPECT_EQ(json.output.find("temperature"), std::string::npos);

    // Nothing listens on the port of a simulator that is gone: no status line at all.
    uint16_t closedPort = 0;
    {
        const UnitSimProcess gone;
        closedPort = gone.Port();
    }
    const ProgramRun refused = testing::RunProgram(
        kProgram, {"--address", "127.0.0.1", "--port", std::to_string(closedPort), "--format", "prometheus"});
    EXPECT_EQ(refused.exitCode, kExitPollFailed);
    EXPECT_NE(refused.output.find("\nquorvane_poll_success 0\n"), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("\nquorvane_response_code -1\n"), std::string::npos);
    EXPECT_EQ(refused.output.find("quorvane_temperature_celsius"), std::string::npos);
    if (!testing::PromtoolPresent()) GTEST_SKIP() << "promtool is not installed (scripts/test installs it)";
    EXPECT_EQ(testing::PromtoolProblems(refused.output), "");
}

// A unit (or whatever answers in its place) that tries to retitle and clear the user's terminal
// and to put bytes into the journal that no UTF-8 reader can take.
TEST(QuorvanePollTest, TheUnitsStatusLineNeverSteersTheTerminal) {
    testing::ScriptedServer server({[](testing::ScriptedPeer& peer) {
        peer.ReceiveUntil();
        peer.Send("HTTP/1.1 500 x\x1b]0;owned\x07\x1b[2J\xc2\x9b" "1m\x9b\xff\r\nContent-Length: 0\r\n\r\n");
    }});
    const ProgramRun run = testing::RunProgram(kProgram, {"--address", "127.0.0.1", "--port", std::to_string(server.Port())});
    EXPECT_EQ(run.exitCode, kExitPollFailed);
    EXPECT_EQ(run.errors, "quorvane-poll: The unit answered 500 x?]0;owned??[2J?1m??\n");
    EXPECT_EQ(platform::Utf8Text(run.errors), run.errors);
}

TEST(QuorvanePollTest, PasswordComesFromItsFileNeverFromTheCommandLine) {
    UnitSimProcess unit({"--password", "s3cret"});
    ASSERT_NE(unit.Port(), 0) << unit.Error();
    TempDir dir;
    const std::string settings = "[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=" + std::to_string(unit.Port()) +
                                 "\r\nUserName=admin\r\nPass=stale\r\nTimeout=2\r\nRTimeout=5\r\nInterval=60\r\n\r\n";
    testing::WriteFile(dir.File("Quorvane.ini"), settings);
    testing::WriteFile(dir.File("password"), "s3cret\n");

    const ProgramRun onCommandLine =
        testing::RunProgram(kProgram, {"--settings", dir.File("Quorvane.ini"), "--password", "s3cret"});
    EXPECT_EQ(onCommandLine.exitCode, kExitUsage);
    EXPECT_EQ(onCommandLine.output, "");
    EXPECT_NE(onCommandLine.errors.find("--password: the password is never taken from the command line"),
              std::string::npos);

    const ProgramRun fromFile = testing::RunProgram(
        kProgram, {"--settings", dir.File("Quorvane.ini"), "--password-file", dir.File("password"), "--format", "json"},
        {"QUORVANE_PASSWORD=wrong"});
    EXPECT_EQ(fromFile.exitCode, kExitPollSucceeded) << fromFile.errors;
    EXPECT_EQ(testing::ReadFile(dir.File("Quorvane.ini")), settings) << "the settings file is never written";
}

// Waits (bounded) until the text grows to hold `count` lines.
bool WaitForLines(const ProgramProcess& process, size_t count) {
    for (int i = 0; i < 1000 && Count(process.Output(), "\n") < count; ++i) std::this_thread::sleep_for(10ms);
    return Count(process.Output(), "\n") >= count;
}

TEST(QuorvanePollTest, EveryStopsOnSigtermAndKeepsTheTextfileCurrent) {
    UnitSimProcess unit;
    ASSERT_NE(unit.Port(), 0) << unit.Error();
    TempDir dir;
    const std::string textfile = dir.File("quorvane.prom");
    ProgramProcess poll(kProgram, {"--address", "127.0.0.1", "--port", std::to_string(unit.Port()), "--every", "1",
                                   "--format", "json", "--textfile", textfile, "--unit", "desk"});
    ASSERT_TRUE(WaitForLines(poll, 2)) << poll.Errors();
    poll.Signal(SIGTERM);
    ASSERT_TRUE(poll.WaitForExit(5000));
    EXPECT_EQ(poll.ExitCode(), 0) << poll.Errors();
    EXPECT_NE(poll.Output().find("\"polls\":2,\"errors\":0"), std::string::npos) << poll.Output();

    const std::string exposition = testing::ReadFile(textfile);
    EXPECT_NE(exposition.find("\nquorvane_polls_total{unit=\"desk\"} "), std::string::npos) << exposition;
    EXPECT_EQ(Count(exposition, "\nquorvane_temperature_celsius{unit=\"desk\",sensor="), 3u);
    if (testing::PromtoolPresent()) {
        EXPECT_EQ(testing::PromtoolProblems(exposition), "");
    }
}

// Waits (bounded) until the program has taken SIGTERM over from its default action, which
// would end it with the signal instead of exit status 0.
bool WaitUntilSigtermIsBlocked(const ProgramProcess& process) {
    const std::string statusFile = "/proc/" + std::to_string(process.Pid()) + "/status";
    for (int i = 0; i < 500; ++i) {
        const std::string status = testing::ReadFile(statusFile);
        const size_t at = status.find("\nSigBlk:");
        if (at != std::string::npos && (std::stoull(status.substr(at + 8), nullptr, 16) & (1ull << (SIGTERM - 1))) != 0) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(QuorvanePollTest, SigtermAbandonsAPollThatWaitsOnTheUnit) {
    // The unit takes half a minute to answer and the read limit would wait for it.
    UnitSimProcess unit({"--delay-ms", "30000"});
    ASSERT_NE(unit.Port(), 0) << unit.Error();
    ProgramProcess poll(kProgram, {"--address", "127.0.0.1", "--port", std::to_string(unit.Port()), "--every", "1",
                                   "--read-timeout", "60"});
    ASSERT_TRUE(WaitUntilSigtermIsBlocked(poll));
    std::this_thread::sleep_for(100ms);
    poll.Signal(SIGTERM);
    // The promise is one second; the margin is for a loaded machine, far below the 30 s.
    ASSERT_TRUE(poll.WaitForExit(5000)) << "still waiting on the unit";
    EXPECT_EQ(poll.ExitCode(), 0);
    EXPECT_EQ(poll.Errors(), "quorvane-poll: stopped; the poll under way was abandoned\n");
    EXPECT_EQ(poll.Output(), "");
}

}  // namespace
}  // namespace quorvane
