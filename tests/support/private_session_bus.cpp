#include "support/private_session_bus.h"
#include "support/announced_process.h"
#include "support/child_process.h"

#include <cstdlib>

namespace quorvane::testing {

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
    // "timeout" hands the signal on to the daemon.
    EndChild(pid_, 2000);
}

}  // namespace quorvane::testing
