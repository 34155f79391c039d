#include "platform/gui/shell.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "gui_test_support.h"
#include "platform/gui/application.h"
#include "rtl/exception.h"

namespace quorvane::platform {
namespace {

TEST(ShellExecuteTest, OpenerGetsTheUrlAsOneArgumentAndItsSuccessCounts) {
    testing::FakeOpener opener(0);
    const std::string url = "http://127.0.0.1:8080/a b?x=1&y=2";
    EXPECT_GT(ShellExecuteA(nullptr, "open", url, "", "", SW_SHOW), 32);
    const auto calls = opener.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], url);
}

TEST(ShellExecuteTest, FailuresGiveResultsOf32OrBelow) {
    {
        testing::FakeOpener opener(4);
        EXPECT_LE(ShellExecuteA(nullptr, "open", "http://127.0.0.1:1", "", "", SW_SHOW), 32);
    }
    {
        testing::NoOpener none;
        EXPECT_LE(ShellExecuteA(nullptr, "open", "http://127.0.0.1:1", "", "", SW_SHOW), 32);
    }
    {
        testing::FakeOpener opener(0);
        EXPECT_LE(ShellExecuteA(nullptr, "print", "http://127.0.0.1:1", "", "", SW_SHOW), 32);
        EXPECT_TRUE(opener.Calls().empty());
    }
}

// An opener that keeps the browser in its foreground does not hold the caller until the
// browser closes; it counts as started and is reaped when it ends, never left a zombie.
TEST(ShellExecuteTest, OpenerThatKeepsRunningCountsAsStartedAndIsReapedLater) {
    testing::FakeOpener opener(0, 3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_GT(ShellExecuteA(nullptr, "open", "http://127.0.0.1:1", "", "", SW_SHOW), 32);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    const int pid = opener.LastPid();
    ASSERT_GT(pid, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (kill(pid, 0) == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(kill(pid, 0), 0) << "the opener is still there (running or a zombie)";
}

// An exception that escapes a handler is shown under the application's title and the caller
// goes on; any exception type is caught.
TEST(RunHandlerTest, EscapedExceptionsGoToTheTitledErrorBox) {
    testing::ClearRecordedDialogs();
    bool after = false;
    RunHandler([] { throw EFCreateError("Cannot create file \"/x/y.ini\"."); });
    RunHandler([] { throw 42; });
    RunHandler([&] { after = true; });
    EXPECT_TRUE(after);
    const auto& dialogs = testing::RecordedDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].kind, DialogRequest::ErrorBox);
    EXPECT_EQ(dialogs[0].title, "Quorvane");
    EXPECT_EQ(dialogs[0].text, "Cannot create file \"/x/y.ini\".");
    EXPECT_EQ(dialogs[1].title, "Quorvane");
}

}  // namespace
}  // namespace quorvane::platform
