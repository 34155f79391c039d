#include "tcp/net_socket_list.h"

#include "tcp/net_exception.h"

namespace quorvane {

namespace {

[[noreturn]] void RaiseSetSizeExceeded() { throw ENetStackSetSizeExceeded("Set Size Exceeded."); }

}  // namespace

std::unique_ptr<TNetSocketList> TNetSocketList::CreateSocketList() {
    return std::make_unique<TNetSocketListWindows>();
}

void TNetSocketListWindows::Add(TNetSocket descriptor) {
    if (count_ >= Capacity) RaiseSetSizeExceeded();
    descriptors_[static_cast<size_t>(count_++)] = descriptor;
}

void TNetSocketListWindows::Remove(TNetSocket descriptor) {
    for (int32_t i = 0; i < count_; ++i) {
        if (descriptors_[static_cast<size_t>(i)] == descriptor) {
            descriptors_[static_cast<size_t>(i)] = descriptors_[static_cast<size_t>(count_ - 1)];
            --count_;
            return;
        }
    }
}

bool TNetSocketListWindows::Contains(TNetSocket descriptor) const {
    for (int32_t i = 0; i < count_; ++i)
        if (descriptors_[static_cast<size_t>(i)] == descriptor) return true;
    return false;
}

TNetSocket TNetSocketListWindows::Item(int32_t index) const {
    if (index < 0 || index >= count_) RaiseSetSizeExceeded();
    return descriptors_[static_cast<size_t>(index)];
}

}  // namespace quorvane
