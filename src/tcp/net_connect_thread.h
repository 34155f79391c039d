#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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
    bool Finished() const;
    // Waits until the thread finished, at most limit; true when it has.
    bool WaitFinished(std::chrono::milliseconds limit);
    void WaitFor();
    // Empty unless the connect failed. Read only after Finished() or WaitFor().
    const std::string& FailureText() const noexcept { return failureText_; }

private:
    void Execute();

    TNetSocketHandle* targetSocket_;
    std::atomic<bool> terminated_{false};
    std::string failureText_;
    mutable std::mutex mutex_;
    std::condition_variable finishedSignal_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace quorvane
