#include "platform/detached_command.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

std::string Script(const testing::TempDir& directory, const std::string& name, const std::string& body) {
    const std::string path = directory.File(name);
    testing::WriteFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

bool WaitForEnd(platform::TDetachedCommand& command, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!command.Poll()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The program gets its own name only, the variables as bytes (a NUL left out by the caller,
// markup and quotes as they are), nothing on standard input, and its standard error comes
// back with its exit code.
TEST(DetachedCommandTest, RunsWithTheVariablesAndReportsCodeAndStandardError) {
    testing::TempDir directory;
    const std::string out = directory.File("out");
    const std::string path = Script(directory, "a command",
                                    "printf '%s|%s|%s|' \"$#\" \"$QUORVANE_VALUE\" \"$HOME\" > '" + out +
                                        "'\ncat >> '" + out + "'\necho 'went wrong' >&2\nexit 3\n");
    platform::TDetachedCommand command(path, {{"QUORVANE_VALUE", "<b>x</b> $(id) \"; rm"}}, 5s);
    ASSERT_EQ(command.StartError(), "");
    ASSERT_TRUE(WaitForEnd(command, 5s));
    EXPECT_EQ(command.ExitCode(), 3);
    EXPECT_EQ(command.Errors(), "went wrong\n");
    EXPECT_FALSE(command.TimedOut());
    EXPECT_EQ(testing::ReadFile(out), "0|<b>x</b> $(id) \"; rm|" + std::string(std::getenv("HOME")) + "|");

    platform::TDetachedCommand missing(directory.File("none"), {}, 5s);
    EXPECT_EQ(missing.StartError(), "No such file or directory");
    EXPECT_TRUE(missing.Poll());
    EXPECT_EQ(platform::TDetachedCommand("relative", {}, 5s).StartError(), "not an absolute path");
}

// Past its time limit the program is killed with what it started, and a flood on standard
// error is read (so the program never blocks on it) but kept short.
TEST(DetachedCommandTest, KillsTheWholeGroupAfterTheLimitAndKeepsStandardErrorShort) {
    testing::TempDir directory;
    const std::string pidFile = directory.File("child");
    const std::string path = Script(directory, "slow", "head -c 100000 /dev/zero >&2\nsleep 60 &\necho $! > '" +
                                                           pidFile + "'\nwait\n");
    const auto started = std::chrono::steady_clock::now();
    platform::TDetachedCommand command(path, {}, 300ms);
    ASSERT_EQ(command.StartError(), "");
    ASSERT_TRUE(WaitForEnd(command, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(command.TimedOut());
    EXPECT_EQ(command.ExitCode(), 128 + 9);
    EXPECT_EQ(command.Errors().size(), platform::TDetachedCommand::kMaxErrorBytes);
    const int child = std::stoi(testing::ReadFile(pidFile));
    std::this_thread::sleep_for(100ms);
    std::string state;
    const std::string status = testing::ReadFile("/proc/" + std::to_string(child) + "/stat");
    if (!status.empty()) state = status.substr(status.rfind(')') + 2, 1);
    EXPECT_TRUE(status.empty() || state == "Z") << "the script's own child outlived it: " << status;
}

}  // namespace
}  // namespace quorvane
