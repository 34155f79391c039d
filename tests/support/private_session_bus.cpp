#include "support/private_session_bus.h"
#include "support/first_line.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvane::testing {

namespace {

bool Reap(pid_t pid, int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || done < 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

PrivateSessionBus::PrivateSessionBus(int lifetimeSeconds) {
    if (const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        hadPreviousAddress_ = true;
        previousAddress_ = previous;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    std::vector<std::string> args{"timeout", std::to_string(lifetimeSeconds), "dbus-daemon", "--session", "--nofork",
                                  "--print-address"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // As root it complains that it may not raise its descriptor limit; that is no failure.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = ::posix_spawnp(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        error_ = std::string("cannot start dbus-daemon: ") + std::strerror(rc);
        ::close(fds[0]);
        return;
    }
    // The first line is the address; wait for it at most five seconds.
    const std::string line = ReadFirstLine(fds[0], std::chrono::seconds(5));
    ::close(fds[0]);
    const size_t end = line.find('\n');
    if (end == std::string::npos || line.empty()) {
        error_ = "dbus-daemon did not print its address: " + line;
        return;
    }
    address_ = line.substr(0, end);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateSessionBus::~PrivateSessionBus() {
    if (hadPreviousAddress_) ::setenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_.c_str(), 1);
    else ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (pid_ <= 0) return;
    // "timeout" hands the signal on to the daemon.
    ::kill(pid_, SIGTERM);
    if (!Reap(pid_, 2000)) {
        ::kill(pid_, SIGKILL);
        Reap(pid_, 2000);
    }
}

}  // namespace quorvane::testing
