#include "poll_command/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorvane {

TStopSignals::TStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (const int error = ::pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask_); error != 0) {
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    }
    descriptor_ = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (descriptor_ < 0) {
        const int error = errno;
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw std::system_error(error, std::generic_category(), "signalfd");
    }
}

TStopSignals::~TStopSignals() {
    ::close(descriptor_);
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

TStopSignals::TWake TStopSignals::Wait(int milliseconds, int readyFd) {
    pollfd watched[2] = {{descriptor_, POLLIN, 0}, {readyFd, POLLIN, 0}};
    const nfds_t count = readyFd >= 0 ? 2 : 1;
    int ready = 0;
    do {
        ready = ::poll(watched, count, milliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready > 0 && (watched[0].revents & POLLIN) != 0) {
        signalfd_siginfo info{};
        while (::read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        stopped_ = true;
        return TWake::Stop;
    }
    if (ready > 0 && count == 2 && watched[1].revents != 0) return TWake::Ready;
    return TWake::Timeout;
}

}  // namespace quorvane
