#include "support/private_session_bus.h"
#include "support/announced_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

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
    // As root it complains on standard error that it may not raise its descriptor limit;
    // that is no failure. The first line is the address.
    AnnouncedProcess daemon = StartAnnouncedProcess(
        {"timeout", std::to_string(lifetimeSeconds), "dbus-daemon", "--session", "--nofork", "--print-address"},
        true, std::chrono::seconds(5));
    pid_ = daemon.pid;
    if (pid_ < 0) {
        error_ = daemon.error;
        return;
    }
    const std::string& line = daemon.firstLine;
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
