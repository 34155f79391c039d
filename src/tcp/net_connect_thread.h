#pragma once

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <string>

#include "tcp/net_socket_handle.h"

namespace quorvane {

// Runs one blocking connect on its own thread so that the caller can give up after a time
// limit. Created suspended; Start runs it; the thread marks itself finished when the connect
// returned or failed (FailureText then tells which). The destructor joins.
class TNetConnectThread {
public:
    explicit TNetConnectThread(TNetSocketHandle* targetSocket) : targetSocket_(targetSocket) {}
    ~TNetConnectThread();
    TNetConnectThread(const TNetConnectThread&) = delete;
    TNetConnectThread& operator=(const TNetConnectThread&) = delete;

    TNetSocketHandle* TargetSocket() const noexcept { return targetSocket_; }

    void Start();
    // Asks the thread to stop caring; the connect itself is ended by releasing the socket.
    void Terminate() noexcept { terminated_.store(true); }
    bool Terminated() const noexcept { return terminated_.load(); }
    // The thread has marked itself finished: its connect returned.
    bool Finished() const noexcept { return finished_.load(std::memory_order_acquire); }
    // Waits until the thread finished, at most limit; true when it has (the thread has then
    // also ended and been joined).
    bool WaitFinished(std::chrono::milliseconds limit);
    void WaitFor();
    // Empty unless the connect failed. Read only after Finished() or WaitFor().
    const std::string& FailureText() const noexcept { return failureText_; }

private:
    static void* Run(void* self);
    void Execute();

    TNetSocketHandle* targetSocket_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::string failureText_;
    pthread_t thread_{};
    bool started_ = false;
    bool joined_ = false;
};

}  // namespace quorvane
