#include "tcp/net_lookup_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorvane {

// Shared by the waiting caller and the thread; whichever lets go last frees it.
struct TNetLookupThread::TState {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    TNetHostAnswer answer;
};

TNetLookupThread::TNetLookupThread(TNetDetachedLookUp lookUp, std::string hostName)
    : state_(std::make_shared<TState>()) {
    std::thread([state = state_, lookUp = std::move(lookUp), hostName = std::move(hostName)] {
        TNetHostAnswer answer;
        try {
            answer = lookUp(hostName);
        } catch (...) {
            answer.Address.reset();
            answer.ErrorCode = NetErrorHostNotFound;
        }
        std::lock_guard guard(state->lock);
        state->answer = std::move(answer);
        state->done = true;
        state->finished.notify_all();
    }).detach();
}

TNetLookupThread::~TNetLookupThread() = default;

bool TNetLookupThread::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock guard(state_->lock);
    return state_->finished.wait_for(guard, limit, [this] { return state_->done; });
}

const TNetHostAnswer& TNetLookupThread::Answer() const { return state_->answer; }

}  // namespace quorvane
