#include "platform/login_autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "support/program_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

// XDG_CONFIG_HOME pointed at a folder of the test's own.
class LoginAutostartTest : public ::testing::Test {
protected:
    LoginAutostartTest() {
        if (const char* previous = std::getenv("XDG_CONFIG_HOME")) previous_ = previous;
        ::setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
    }
    ~LoginAutostartTest() override {
        if (previous_.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
    }
    testing::TempDir config_;
    std::string previous_;
};

// A path with every character the Exec key treats specially still names the one program, and
// the entry passes the desktop's own validator.
TEST_F(LoginAutostartTest, EntryQuotesTheProgramAndPassesTheValidator) {
    const std::string entry = (config_.Path() / "autostart" / "quorvane.desktop").string();
    EXPECT_EQ(platform::LoginAutostartPath(), entry);
    EXPECT_FALSE(platform::LoginAutostartEnabled());

    const std::string program = "/opt/my tools/50% \"q\" $HOME `x` back\\slash/Quorvane";
    const std::string folder = "/home/u/Sensor unit ";
    EXPECT_EQ(platform::EnableLoginAutostart(program, folder), "");
    EXPECT_TRUE(platform::LoginAutostartEnabled());
    const std::string text = testing::ReadFile(entry);
    EXPECT_EQ(text,
              "[Desktop Entry]\nType=Application\nName=Quorvane\n"
              "Comment=Watch the sensor unit from the start of the session\n"
              "Exec=\"/opt/my tools/50%% \\\\\"q\\\\\" \\\\$HOME \\\\`x\\\\` back\\\\\\\\slash/Quorvane\" --watch\n"
              "Path=/home/u/Sensor unit\\s\nIcon=quorvane\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    const std::string validator = "/usr/bin/desktop-file-validate";
    if (std::filesystem::exists(validator)) {
        const testing::ProgramRun run = testing::RunProgram(validator, {entry});
        EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
        EXPECT_EQ(run.output + run.errors, "") << "no warnings or hints either";
    } else {
        ADD_FAILURE() << "desktop-file-validate is missing (package desktop-file-utils)";
    }

    std::string error;
    EXPECT_EQ(platform::LoginAutostartEntry("/opt/q\xff/Quorvane", folder, error), "");
    EXPECT_NE(error.find("UTF-8"), std::string::npos) << error;
    EXPECT_EQ(platform::LoginAutostartEntry("/opt/q\nExec=/bin/evil", folder, error), "");
    EXPECT_NE(error.find("control character"), std::string::npos) << error;
    EXPECT_EQ(platform::EnableLoginAutostart("relative/Quorvane", folder), "The program's path is not an absolute path");
    EXPECT_EQ(testing::ReadFile(entry), text) << "a refused entry leaves the old one";

    EXPECT_EQ(platform::DisableLoginAutostart(), "");
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(platform::DisableLoginAutostart(), "") << "nothing to remove is no failure";
}

}  // namespace
}  // namespace quorvane
