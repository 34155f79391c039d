#include "platform/gui/termination_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <array>
#include <cerrno>

namespace quorvane::platform {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a pipe; the user-interface thread reads it.
int wakeRead = -1;
int wakeWrite = -1;
std::array<struct sigaction, kSignals.size()> previous{};

void OnSignal(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

}  // namespace

TTerminationSignal::TTerminationSignal(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the program then ends as it would have
    wakeRead = fds[0];
    wakeWrite = fds[1];
    notifier_ = std::make_unique<QSocketNotifier>(wakeRead, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(wakeRead, bytes, sizeof bytes) > 0) {
        }
        if (onRequest_) onRequest_();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

TTerminationSignal::~TTerminationSignal() {
    if (notifier_ == nullptr) return;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(wakeRead);
    ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

}  // namespace quorvane::platform
