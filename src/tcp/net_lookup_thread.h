#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "tcp/net_stack.h"

namespace quorvane {

// Runs one name look-up on a short-lived thread of its own, so that a user interface waiting
// for it keeps its turns and can give up. A resolver cannot be interrupted: a look-up given
// up (the object destroyed before it finished) is left to finish by itself, with what the
// detached look-up holds, and its answer is dropped.
class TNetLookupThread {
public:
    // Starts the look-up at once.
    TNetLookupThread(TNetDetachedLookUp lookUp, std::string hostName);
    ~TNetLookupThread();
    TNetLookupThread(const TNetLookupThread&) = delete;
    TNetLookupThread& operator=(const TNetLookupThread&) = delete;

    // Waits up to the limit; true when the look-up has finished.
    bool WaitFinished(std::chrono::milliseconds limit);
    // Read only after WaitFinished returned true.
    const TNetHostAnswer& Answer() const;

private:
    struct TState;
    std::shared_ptr<TState> state_;
};

}  // namespace quorvane
