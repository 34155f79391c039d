#include "platform/gui/gui_timer.h"

#include "platform/gui/application.h"

namespace quorvane::platform {

TTimer::TTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Update();
}

void TTimer::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    Update();
}

void TTimer::SetOnTimer(Handler handler) {
    onTimer_ = std::move(handler);
    Update();
}

void TTimer::Update() {
    timer_.stop();
    if (enabled_ && interval_ != 0 && onTimer_) {
        // QTimer takes a signed int; an interval beyond it would be about 24 days anyway.
        const int milliseconds = interval_ > 0x7fffffffu ? 0x7fffffff : static_cast<int>(interval_);
        timer_.start(milliseconds);
    }
}

void TTimer::Fire() {
    if (!enabled_ || interval_ == 0 || !onTimer_) return;
    // A copy: the handler may replace itself.
    const Handler handler = onTimer_;
    RunHandler([&] { handler(*this); });
}

}  // namespace quorvane::platform
