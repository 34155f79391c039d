#include "rtl/multi_read_exclusive_write_synchronizer.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace quorvane {

int32_t& TMultiReadExclusiveWriteSynchronizer::ReadDepthOfThisThread() {
    // A thread rarely holds more than one or two of these locks at a time; entries at zero are
    // pruned so the table stays as small as the number of locks held.
    thread_local std::vector<std::pair<const TMultiReadExclusiveWriteSynchronizer*, int32_t>> depths;
    depths.erase(std::remove_if(depths.begin(), depths.end(),
                                [this](const auto& entry) { return entry.second == 0 && entry.first != this; }),
                 depths.end());
    for (auto& entry : depths)
        if (entry.first == this) return entry.second;
    depths.emplace_back(this, 0);
    return depths.back().second;
}

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
    if (IsWriter()) {
        ++readsUnderWrite_;
        return;
    }
    int32_t& depth = ReadDepthOfThisThread();
    if (depth == 0) mutex_.lock_shared();
    ++depth;
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
    if (IsWriter() && readsUnderWrite_ > 0) {
        --readsUnderWrite_;
        return;
    }
    int32_t& depth = ReadDepthOfThisThread();
    if (depth <= 0) return;  // unbalanced call: nothing held
    if (--depth == 0) mutex_.unlock_shared();
}

void TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
    if (IsWriter()) {
        ++writeDepth_;
        return;
    }
    int32_t& depth = ReadDepthOfThisThread();
    const int32_t heldReads = depth;
    if (heldReads > 0) {
        depth = 0;
        mutex_.unlock_shared();
    }
    mutex_.lock();
    writer_.store(std::this_thread::get_id(), std::memory_order_release);
    writeDepth_ = 1;
    readsUnderWrite_ = 0;
    upgradedReadDepth_ = heldReads;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
    if (!IsWriter()) return;  // unbalanced call: nothing held
    if (--writeDepth_ > 0) return;
    const int32_t restoreReads = upgradedReadDepth_;
    upgradedReadDepth_ = 0;
    readsUnderWrite_ = 0;
    writer_.store(std::thread::id{}, std::memory_order_release);
    mutex_.unlock();
    if (restoreReads > 0) {
        mutex_.lock_shared();
        ReadDepthOfThisThread() = restoreReads;
    }
}

}  // namespace quorvane
