#pragma once

#include <signal.h>

namespace quorvane {

// SIGINT and SIGTERM as events to wait for instead of handlers to run: while the object lives
// both are blocked in the creating thread and in every thread it starts afterwards (create it
// before any other thread), and arrive on a descriptor. Nothing runs in signal context, so
// there is nothing to keep async-signal-safe.
class TStopSignals {
public:
    enum class TWake { Stop, Ready, Timeout };

    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // Waits up to `milliseconds` (-1: no limit) for a stop signal, or for `readyFd` to become
    // readable when it is not -1. A stop signal wins over readiness. After a stop this waits
    // again (for a further signal, or for readiness), so that the poll under way can be given
    // a moment to finish.
    TWake Wait(int milliseconds, int readyFd = -1);

    // Whether a stop signal has arrived (it stays arrived).
    bool Stopped() const noexcept { return stopped_; }

private:
    int descriptor_ = -1;
    bool stopped_ = false;
    sigset_t previousMask_{};  // the creating thread's mask, restored on destruction
};

}  // namespace quorvane
