// The real program, started as a desktop starts it: it ends with exit code 0 and writes its
// settings back both through File > Exit and when the session asks it to close (SIGTERM, on
// which it closes its window as the close button would), and a session's end never waits for
// anyone to answer a box.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/program_process.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

using testing::ProgramProcess;

std::string Shell(const std::string& command) { return testing::RunProgram("/bin/sh", {"-c", command}).output; }

// All seven keys, in another case than the program writes them: only a save changes that.
constexpr const char* kSettings =
    "[Quorvane]\r\nipv4=127.0.0.1\r\nport=81\r\nusername=u\r\npass=p\r\ntimeout=2\r\nrtimeout=10\r\ninterval=60\r\n";

// One virtual display for the whole suite; each test runs the program in a folder of its own.
class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (Shell("command -v Xvfb >/dev/null && command -v xdotool").empty()) return;
        int number = 150;
        while (number < 200 && (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
                                std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))) {
            ++number;
        }
        const std::string display = ":" + std::to_string(number);
        // No reset when a program leaves: the next would meet a server that is starting over.
        server_ = new ProgramProcess("/usr/bin/Xvfb", {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                                       "-noreset"});
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 600 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(50ms);
        if (!std::filesystem::exists(socket)) return;
        displayReady_ = true;
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);  // this process's own toolkit is set up already
        ::setenv("DISPLAY", display.c_str(), 1);
        // The X keyboard library hands strndup names that end at their length, not at a NUL;
        // the strict string check takes that for an overflow in code that is not ours.
        const char* asanOptions = std::getenv("ASAN_OPTIONS");
        ::setenv("ASAN_OPTIONS", (std::string(asanOptions != nullptr ? asanOptions : "") + ":strict_string_checks=0").c_str(),
                 1);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        if (server_ == nullptr) GTEST_SKIP() << "needs Xvfb and xdotool (scripts/test installs both)";
        ASSERT_TRUE(displayReady_) << "Xvfb did not start within 30 s";
        // Under the leak checker: the session bus library keeps a buffer to the end; it is not ours.
        testing::WriteFile("leaks.supp", "leak:libdbus-1.so\n");
        ::setenv("LSAN_OPTIONS", "suppressions=leaks.supp:print_suppressions=0", 1);
    }

    // Starts the program and waits until its window is shown; returns the window's id.
    std::string StartProgram(std::unique_ptr<ProgramProcess>& monitor) {
        monitor = std::make_unique<ProgramProcess>(ProgramProcess::BesideTest("Quorvane"), std::vector<std::string>{});
        std::string window;
        for (int i = 0; i < 300 && window.empty(); ++i) {
            window = Shell("timeout 5 xdotool search --onlyvisible --name '^Quorvane Ver\\.0\\.1$'");
            if (window.empty()) std::this_thread::sleep_for(50ms);
        }
        return window.substr(0, window.find('\n'));
    }

    static ProgramProcess* server_;
    static bool displayReady_;
    testing::TempDir directory_;
    testing::ScopedWorkingDirectory inDirectory_{directory_.Path()};
};

ProgramProcess* ProgramTest::server_ = nullptr;
bool ProgramTest::displayReady_ = false;

TEST_F(ProgramTest, EndsWithCodeZeroAndSavesThroughFileExitAndThroughASessionClose) {
    for (const bool throughMenu : {true, false}) {
        SCOPED_TRACE(throughMenu ? "File > Exit" : "SIGTERM");
        testing::WriteFile("Quorvane.ini", kSettings);
        std::unique_ptr<ProgramProcess> monitor;
        const std::string window = StartProgram(monitor);
        ASSERT_FALSE(window.empty()) << "the window did not appear";
        if (throughMenu) {
            Shell("timeout 5 xdotool windowfocus --sync " + window + " key alt+f");
            std::this_thread::sleep_for(300ms);
            Shell("timeout 5 xdotool key x");
        } else {
            monitor->Signal(SIGTERM);
        }
        EXPECT_TRUE(monitor->WaitForExit(10000));
        EXPECT_EQ(monitor->ExitCode(), 0) << monitor->Errors();
        const std::string saved = testing::ReadFile("Quorvane.ini");
        for (const char* line : {"\r\nIPV4=127.0.0.1\r\n", "\r\nPort=81\r\n", "\r\nInterval=60\r\n"}) {
            EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
        }
    }
}

// Started as the login's autostart entry starts it, the program polls the unit without any
// click, and still ends with code 0 and its settings saved when the session ends.
TEST(ProgramStartTest, WatchPollsFromTheStartWithoutAClick) {
    testing::ScriptedServer unit({testing::KeepAliveSensorUnit()}, std::chrono::seconds(20));
    testing::TempDir directory;
    testing::ScopedWorkingDirectory inDirectory(directory.Path());
    testing::WriteFile("Quorvane.ini", "[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=" + std::to_string(unit.Port()) +
                                           "\r\nTimeout=2\r\nRTimeout=2\r\n\r\n");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // no display needed (another test may have set one)
    ProgramProcess monitor(ProgramProcess::BesideTest("Quorvane"), {"--watch"});
    for (int i = 0; i < 300 && unit.Accepted() == 0; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(unit.Accepted(), 1) << monitor.Errors();
    std::this_thread::sleep_for(300ms);  // the poll's four answers
    monitor.Signal(SIGTERM);
    EXPECT_TRUE(monitor.WaitForExit(10000));
    EXPECT_EQ(monitor.ExitCode(), 0) << monitor.Errors();
    unit.Stop();
    ASSERT_EQ(unit.Transcripts().size(), 1u);
    EXPECT_NE(unit.Transcripts()[0].find("cmd=GetInput16"), std::string::npos) << "a whole poll";
    EXPECT_NE(testing::ReadFile("Quorvane.ini").find("\r\nInterval=60\r\n"), std::string::npos);
}

// The session ends the program while its settings cannot be written (a full disk; here a
// folder has taken the file's place): the failure goes to standard error and the program ends
// by itself with exit code 1 instead of waiting on an error box that nobody will answer.
TEST_F(ProgramTest, SessionEndWithUnwritableSettingsReportsToStandardErrorAndEnds) {
    testing::WriteFile("Quorvane.ini", kSettings);
    std::unique_ptr<ProgramProcess> monitor;
    ASSERT_FALSE(StartProgram(monitor).empty()) << "the window did not appear";
    std::filesystem::remove("Quorvane.ini");
    std::filesystem::create_directory("Quorvane.ini");
    monitor->Signal(SIGTERM);
    ASSERT_TRUE(monitor->WaitForExit(5000)) << "the program waits for someone to answer a box";
    EXPECT_EQ(monitor->ExitCode(), 1);
    EXPECT_NE(monitor->Errors().find("Quorvane.ini"), std::string::npos) << monitor->Errors();
}

// File > Exit, with the keyboard or the mouse, while a poll waits on a slow unit ends the
// program at once: the menu stays usable during a poll, and Exit gives the poll up.
TEST_F(ProgramTest, FileExitDuringASlowPollEndsAtOnce) {
    testing::UnitSimProcess simulator({"--delay-ms", "3000"});
    ASSERT_NE(simulator.Port(), 0) << simulator.Error();
    for (const bool withKeys : {true, false}) {
        SCOPED_TRACE(withKeys ? "keyboard" : "mouse");
        testing::WriteFile("Quorvane.ini", "[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=" + std::to_string(simulator.Port()) +
                                               "\r\nRTimeout=10\r\n");
        std::unique_ptr<ProgramProcess> monitor;
        const std::string window = StartProgram(monitor);
        ASSERT_FALSE(window.empty()) << "the window did not appear";
        // "Get Status" sits at (54, 143) of the client area, below the menu bar.
        const std::string height = Shell("xdotool getwindowgeometry " + window + " | sed -n 's/.*Geometry: [0-9]*x//p'");
        const int menuHeight = std::atoi(height.c_str()) - 423;
        Shell("timeout 5 xdotool mousemove --window " + window + " 54 " + std::to_string(143 + menuHeight) + " click 1");
        std::this_thread::sleep_for(500ms);  // the poll now waits for the unit's first answer
        const auto started = std::chrono::steady_clock::now();
        if (withKeys) {
            Shell("timeout 5 xdotool key alt+f");
            std::this_thread::sleep_for(300ms);
            Shell("timeout 5 xdotool key x");
        } else {
            Shell("timeout 5 xdotool mousemove --window " + window + " 20 " + std::to_string(menuHeight / 2) + " click 1");
            std::this_thread::sleep_for(300ms);
            Shell("timeout 5 xdotool mousemove --window " + window + " 40 " + std::to_string(menuHeight + 10) +
                  " click 1");
        }
        ASSERT_TRUE(monitor->WaitForExit(10000));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << "Exit waited for the poll";
        EXPECT_EQ(monitor->ExitCode(), 0) << monitor->Errors();
    }
}

}  // namespace
}  // namespace quorvane
