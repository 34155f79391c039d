#include "platform/gui/termination_request.h"

#include <QSocketNotifier>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/gui/application.h"

namespace quorvane::platform {

namespace {

// The handler may only do what is async-signal-safe: it writes one byte that the event loop
// then reads. Both ends exist for as long as the handler is installed.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void WakeOnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!::write(wakeWrite, &byte, 1);
    errno = saved;
}

}  // namespace

TTerminationRequest::TTerminationRequest(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signal keeps its default action
    wakeRead = ends[0];
    wakeWrite = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(wakeRead, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeRead, bytes, sizeof bytes) > 0) {
        }
        if (onRequest_) RunHandler(onRequest_);
    });
    struct sigaction action {};
    action.sa_handler = WakeOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

TTerminationRequest::~TTerminationRequest() {
    if (wakeRead < 0) return;
    ::signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    ::close(wakeRead);
    ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

}  // namespace quorvane::platform
