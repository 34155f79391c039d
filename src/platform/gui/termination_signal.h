#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvane::platform {

// Turns a request to end the program from outside (SIGTERM, the terminal's SIGINT and SIGHUP,
// as sent at the end of a desktop session) into a call on the user-interface thread, so that
// the program ends as if its window were closed: settings saved, exit code 0. The call also
// reaches a poll in progress, through the transport's anti-freeze. One exists at a time; the
// signals' previous handling comes back with its destruction.
class TTerminationSignal {
public:
    explicit TTerminationSignal(std::function<void()> onRequest);
    ~TTerminationSignal();
    TTerminationSignal(const TTerminationSignal&) = delete;
    TTerminationSignal& operator=(const TTerminationSignal&) = delete;

private:
    std::function<void()> onRequest_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quorvane::platform
