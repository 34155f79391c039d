// The real program, started as a desktop starts it: it ends with exit code 0 and writes its
// settings back both through File > Exit and when the session asks it to close (SIGTERM, on
// which it closes its window as the close button would).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/program_process.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

using testing::ProgramProcess;

std::string Shell(const std::string& command) { return testing::RunProgram("/bin/sh", {"-c", command}).output; }

TEST(ProgramTest, EndsWithCodeZeroAndSavesThroughFileExitAndThroughASessionClose) {
    if (Shell("command -v Xvfb >/dev/null && command -v xdotool").empty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool (scripts/test installs both)";
    }
    int number = 150;
    while (number < 200 && (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
                            std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))) {
        ++number;
    }
    const std::string display = ":" + std::to_string(number);
    // No reset when the first program leaves: the second would meet a server that is starting over.
    ProgramProcess server("/usr/bin/Xvfb", {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    for (int i = 0; i < 600 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(std::filesystem::exists(socket)) << "Xvfb did not start within 30 s";

    testing::TempDir directory;
    testing::ScopedWorkingDirectory inDirectory(directory.Path());
    const std::string program = ProgramProcess::BesideTest("Quorvane");
    // Under the leak checker: the session bus library keeps a buffer to the end; it is not ours.
    testing::WriteFile("leaks.supp", "leak:libdbus-1.so\n");
    ::setenv("LSAN_OPTIONS", "suppressions=leaks.supp:print_suppressions=0", 1);
    // The X keyboard library hands strndup names that end at their length, not at a NUL; the
    // strict string check takes that for an overflow in code that is not ours.
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(asanOptions != nullptr ? asanOptions : "") + ":strict_string_checks=0").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);  // this process's own toolkit is set up already
    ::setenv("DISPLAY", display.c_str(), 1);
    for (const bool throughMenu : {true, false}) {
        SCOPED_TRACE(throughMenu ? "File > Exit" : "SIGTERM");
        // All seven keys, in another case than the program writes them: only a save changes that.
        testing::WriteFile("Quorvane.ini", "[Quorvane]\r\nipv4=127.0.0.1\r\nport=81\r\nusername=u\r\npass=p\r\n"
                                           "timeout=2\r\nrtimeout=10\r\ninterval=60\r\n");
        ProgramProcess monitor(program, {});
        std::string window;
        for (int i = 0; i < 300 && window.empty(); ++i) {
            window = Shell("timeout 5 xdotool search --onlyvisible --name '^Quorvane Ver\\.0\\.1$'");
            if (window.empty()) std::this_thread::sleep_for(50ms);
        }
        ASSERT_FALSE(window.empty()) << "the window did not appear";
        if (throughMenu) {
            Shell("timeout 5 xdotool windowfocus --sync " + window.substr(0, window.find('\n')) + " key alt+f");
            std::this_thread::sleep_for(300ms);
            Shell("timeout 5 xdotool key x");
        } else {
            monitor.Signal(SIGTERM);
        }
        EXPECT_TRUE(monitor.WaitForExit(10000));
        EXPECT_EQ(monitor.ExitCode(), 0) << monitor.Errors();
        const std::string saved = testing::ReadFile("Quorvane.ini");
        for (const char* line : {"\r\nIPV4=127.0.0.1\r\n", "\r\nPort=81\r\n", "\r\nInterval=60\r\n"}) {
            EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
        }
    }
}

// Started as the login's autostart entry starts it, the program polls the unit without any
// click, and still ends with code 0 and its settings saved when the session ends.
TEST(ProgramTest, WatchPollsFromTheStartWithoutAClick) {
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

}  // namespace
}  // namespace quorvane
