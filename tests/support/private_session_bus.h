#pragma once

#include <sys/types.h>

#include <string>

namespace quorvane::testing {

// A D-Bus session bus of its own (dbus-daemon) for the lifetime of the object, named in
// DBUS_SESSION_BUS_ADDRESS meanwhile (the previous value comes back afterwards). The daemon
// runs under a time limit of its own, so it ends even if a test dies without stopping it.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(int lifetimeSeconds = 120);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Empty when the daemon did not start (the reason is in Error()).
    const std::string& Address() const { return address_; }
    const std::string& Error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string address_;
    std::string error_;
    std::string previousAddress_;
    bool hadPreviousAddress_ = false;
};

}  // namespace quorvane::testing
