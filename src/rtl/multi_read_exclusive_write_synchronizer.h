#pragma once

#include <atomic>
#include <cstdint>
#include <shared_mutex>
#include <thread>

namespace quorvane {

// Many readers or one writer. Unlike a bare std::shared_mutex it is re-entrant for the thread
// that holds it: a writer may take the write or the read side again (freeing a cookie under
// the write lock takes the write lock once more), a reader may read again, and a reader may
// ask to write (it then gives up its read hold while it waits, and takes it back after).
class TMultiReadExclusiveWriteSynchronizer {
public:
    TMultiReadExclusiveWriteSynchronizer() = default;
    ~TMultiReadExclusiveWriteSynchronizer() = default;
    TMultiReadExclusiveWriteSynchronizer(const TMultiReadExclusiveWriteSynchronizer&) = delete;
    TMultiReadExclusiveWriteSynchronizer& operator=(const TMultiReadExclusiveWriteSynchronizer&) = delete;

    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

    // True when the calling thread holds the write side.
    bool IsWriter() const noexcept { return writer_.load(std::memory_order_acquire) == std::this_thread::get_id(); }

private:
    int32_t& ReadDepthOfThisThread();

    std::shared_mutex mutex_;
    std::atomic<std::thread::id> writer_{};
    // Touched only by the writer while it holds the write side.
    int32_t writeDepth_ = 0;
    int32_t readsUnderWrite_ = 0;
    int32_t upgradedReadDepth_ = 0;
};

class TReadLockGuard {
public:
    explicit TReadLockGuard(TMultiReadExclusiveWriteSynchronizer& lock) : lock_(lock) { lock_.BeginRead(); }
    ~TReadLockGuard() { lock_.EndRead(); }
    TReadLockGuard(const TReadLockGuard&) = delete;
    TReadLockGuard& operator=(const TReadLockGuard&) = delete;

private:
    TMultiReadExclusiveWriteSynchronizer& lock_;
};

class TWriteLockGuard {
public:
    explicit TWriteLockGuard(TMultiReadExclusiveWriteSynchronizer& lock) : lock_(lock) { lock_.BeginWrite(); }
    ~TWriteLockGuard() { lock_.EndWrite(); }
    TWriteLockGuard(const TWriteLockGuard&) = delete;
    TWriteLockGuard& operator=(const TWriteLockGuard&) = delete;

private:
    TMultiReadExclusiveWriteSynchronizer& lock_;
};

}  // namespace quorvane
