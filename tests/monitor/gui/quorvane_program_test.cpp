// The real program, started as a desktop starts it: it ends with exit code 0 and writes its
// settings back both through File > Exit and when the session asks it to close (SIGTERM, on
// which it closes its window as the close button would).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Beside(const std::string& name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A started child process; one that has not been reaped when the object goes is killed.
class Child {
public:
    // The environment is built before the fork: after it only exec may run.
    Child(const std::vector<std::string>& argv, const std::string& directory,
          const std::vector<std::string>& overrides) {
        std::vector<std::string> environment = overrides;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            bool replaced = false;
            for (const std::string& override : overrides) {
                replaced = replaced || text.compare(0, override.find('=') + 1, override, 0, override.find('=') + 1) == 0;
            }
            if (!replaced) environment.push_back(text);
        }
        std::vector<char*> args, env;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        for (const std::string& variable : environment) env.push_back(const_cast<char*>(variable.c_str()));
        args.push_back(nullptr);
        env.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(126);
            std::FILE* quiet = std::freopen("/dev/null", "w", stderr);
            (void)quiet;
            ::execve(args[0], args.data(), env.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }

    // The exit code (128 + signal when a signal ended it); -1 when it is still running after
    // the limit.
    int WaitForExit(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < until) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

// Xvfb on a display number nobody uses, for the lifetime of the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        for (int n = 150; n < 200 && name_.empty(); ++n) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
                std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
                continue;
            }
            name_ = ":" + std::to_string(n);
            socket_ = "/tmp/.X11-unix/X" + std::to_string(n);
        }
        if (name_.empty()) return;
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/Xvfb", name_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, "",
            std::vector<std::string>{});
        // A cold start may take seconds.
        for (int i = 0; i < 600 && !std::filesystem::exists(socket_); ++i) std::this_thread::sleep_for(50ms);
    }
    ~VirtualDisplay() {
        if (server_) {
            ::kill(server_->Pid(), SIGTERM);
            server_->WaitForExit(3000ms);
        }
    }
    bool Ready() const { return server_ && std::filesystem::exists(socket_); }
    const std::string& Name() const { return name_; }

    // Runs xdotool on this display (at most 5 s) and returns what it printed.
    std::string Xdotool(const std::string& arguments) const {
        std::string output;
        const std::string command = "DISPLAY=" + name_ + " timeout 5 xdotool " + arguments + " 2>/dev/null";
        if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
            ::pclose(pipe);
        }
        return output;
    }

private:
    std::string name_;
    std::string socket_;
    std::unique_ptr<Child> server_;
};

// All seven keys, in another case than the program writes them: only a save changes that.
const char* const kLoadedSettings =
    "[Quorvane]\r\nipv4=127.0.0.1\r\nport=81\r\nusername=u\r\npass=p\r\ntimeout=2\r\nrtimeout=10\r\ninterval=60\r\n";

TEST(ProgramTest, EndsWithCodeZeroAndSavesThroughFileExitAndThroughASessionClose) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool (scripts/test installs both)";
    VirtualDisplay display;
    ASSERT_TRUE(display.Ready()) << "Xvfb did not start within 30 s";
    TempDir directory;
    const std::string settings = directory.File("Quorvane.ini");
    // Under the leak checker: the session bus library keeps a buffer to the end; it is not ours.
    const std::string suppressions = directory.File("leaks.supp");
    WriteFile(suppressions, "leak:libdbus-1.so\n");
    for (const bool throughMenu : {true, false}) {
        SCOPED_TRACE(throughMenu ? "File > Exit" : "SIGTERM");
        WriteFile(settings, kLoadedSettings);
        Child program({Beside("Quorvane")}, directory.Path().string(),
                      {"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb",
                       "LSAN_OPTIONS=suppressions=" + suppressions + ":print_suppressions=0"});
        std::string window;
        for (int i = 0; i < 300 && window.empty(); ++i) {
            window = display.Xdotool("search --onlyvisible --name '^Quorvane Ver\\.0\\.1$'");
            if (window.empty()) std::this_thread::sleep_for(50ms);
        }
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty()) << "the window did not appear";
        if (throughMenu) {
            display.Xdotool("windowfocus --sync " + window + " key alt+f");
            std::this_thread::sleep_for(300ms);
            display.Xdotool("key x");
        } else {
            ::kill(program.Pid(), SIGTERM);
        }
        EXPECT_EQ(program.WaitForExit(10s), 0);
        const std::string saved = ReadFile(settings);
        for (const char* line : {"\r\nIPV4=127.0.0.1\r\n", "\r\nPort=81\r\n", "\r\nInterval=60\r\n"}) {
            EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
        }
    }
}

}  // namespace
}  // namespace quorvane
