#pragma once

#include <cstdint>
#include <vector>

namespace quorvane::testing {

// A loopback listener that never accepts and whose accept queue is full, so that a further
// connect to Port() hangs: the kernel drops its handshake until the object goes. Valid() is
// false where this system answers such a connect after all (then there is no hang to test).
class HangingListener {
public:
    HangingListener();
    HangingListener(const HangingListener&) = delete;
    HangingListener& operator=(const HangingListener&) = delete;
    ~HangingListener();

    bool Valid() const { return valid_; }
    uint16_t Port() const { return port_; }

private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    bool valid_ = false;
    std::vector<int> fillers_;
};

}  // namespace quorvane::testing
