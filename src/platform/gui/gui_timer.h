#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace quorvane::platform {

// A periodic timer on the user-interface thread. It runs only while it is enabled, has a
// non-zero interval and has a handler; switching it on or giving it another interval starts
// the period anew, while setting a value it already has leaves a running period alone (so a
// poll that re-enables an enabled timer does not shift the next tick).
class TTimer {
public:
    using Handler = std::function<void(TTimer& sender)>;

    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    // Milliseconds; 0 keeps the timer silent.
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t value);

    const Handler& OnTimer() const { return onTimer_; }
    void SetOnTimer(Handler handler);

    // True while the underlying clock is actually counting towards a tick.
    bool Running() const { return timer_.isActive(); }

private:
    void Update();
    void Fire();

    QTimer timer_;
    bool enabled_ = true;
    uint32_t interval_ = 1000;
    Handler onTimer_;
};

}  // namespace quorvane::platform
