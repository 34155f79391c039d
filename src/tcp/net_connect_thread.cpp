#include "tcp/net_connect_thread.h"

#include <cerrno>
#include <ctime>
#include <exception>
#include <system_error>

#include "rtl/exception.h"

namespace quorvane {

namespace {

// The connect path is shallow; a small stack keeps the thread's creation and exit cheap.
// Sanitizer runtimes need more room, so the size leaves them plenty.
constexpr size_t kConnectStackSize = 1024 * 1024;

// The monotonic clock, so that a step of the wall clock can neither stretch nor cut the
// caller's connect limit. The thread sanitizer only understands the wall-clock timed join.
#if defined(__SANITIZE_THREAD__)
constexpr clockid_t kJoinClock = CLOCK_REALTIME;
#else
constexpr clockid_t kJoinClock = CLOCK_MONOTONIC;
#endif

}  // namespace

TNetConnectThread::~TNetConnectThread() { WaitFor(); }

void TNetConnectThread::Start() {
    if (started_) return;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kConnectStackSize);
    const int result = pthread_create(&thread_, &attributes, &TNetConnectThread::Run, this);
    pthread_attr_destroy(&attributes);
    if (result != 0) throw std::system_error(result, std::generic_category(), "connect thread");
    started_ = true;
}

bool TNetConnectThread::WaitFinished(std::chrono::milliseconds limit) {
    if (!started_ || joined_) return Finished();
    // Waiting for the thread's end itself costs one wake-up; a separate "finished" signal
    // followed by the join would cost two or three on a busy machine.
    timespec until{};
    clock_gettime(kJoinClock, &until);
    const int64_t ms = limit.count() < 0 ? 0 : static_cast<int64_t>(limit.count());
    until.tv_sec += static_cast<time_t>(ms / 1000);
    until.tv_nsec += static_cast<long>((ms % 1000) * 1000000);
    if (until.tv_nsec >= 1000000000) {
        until.tv_nsec -= 1000000000;
        ++until.tv_sec;
    }
    int result;
    do {
#if defined(__SANITIZE_THREAD__)
        result = pthread_timedjoin_np(thread_, nullptr, &until);
#else
        result = pthread_clockjoin_np(thread_, nullptr, kJoinClock, &until);
#endif
    } while (result == EINTR);
    if (result == 0) {
        joined_ = true;
        return true;
    }
    return false;
}

void TNetConnectThread::WaitFor() {
    if (started_ && !joined_) {
        pthread_join(thread_, nullptr);
        joined_ = true;
    }
}

void* TNetConnectThread::Run(void* self) {
    static_cast<TNetConnectThread*>(self)->Execute();
    return nullptr;
}

void TNetConnectThread::Execute() {
    std::string failure;
    try {
        const int32_t result = targetSocket_->ConnectRemote(NetAddressFamilyIPv4);
        // A socket released under the connect (the caller gave up) is no failure of its own.
        SocketStack->CheckSocketResult(result, {NetErrorBadFile, NetErrorNotSocket});
    } catch (const Exception& error) {
        failure = error.Message();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Connect failed.";
    }
    failureText_ = std::move(failure);
    terminated_.store(true);
    finished_.store(true, std::memory_order_release);
}

}  // namespace quorvane
