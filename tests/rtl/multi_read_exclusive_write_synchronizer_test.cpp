#include "rtl/multi_read_exclusive_write_synchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace quorvane {
namespace {

TEST(TMultiReadExclusiveWriteSynchronizer, HolderMayTakeTheLockAgain) {
    TMultiReadExclusiveWriteSynchronizer lock;
    lock.BeginWrite();
    lock.BeginWrite();  // freeing a cookie under the write lock does this
    lock.BeginRead();
    EXPECT_TRUE(lock.IsWriter());
    lock.EndRead();
    lock.EndWrite();
    EXPECT_TRUE(lock.IsWriter());
    lock.EndWrite();
    EXPECT_FALSE(lock.IsWriter());

    lock.BeginRead();
    lock.BeginRead();
    lock.BeginWrite();  // a reader that asks to write
    EXPECT_TRUE(lock.IsWriter());
    lock.EndWrite();
    EXPECT_FALSE(lock.IsWriter());
    lock.EndRead();
    lock.EndRead();

    // Fully released: another thread can write at once.
    std::thread other([&] {
        lock.BeginWrite();
        lock.EndWrite();
    });
    other.join();
}

TEST(TMultiReadExclusiveWriteSynchronizer, WriterExcludesReadersAndWriters) {
    TMultiReadExclusiveWriteSynchronizer lock;
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if ((i + t) % 3 == 0) {
                    TWriteLockGuard guard(lock);
                    if (inside.fetch_add(100) != 0) overlap = true;
                    std::this_thread::yield();
                    inside.fetch_sub(100);
                } else {
                    TReadLockGuard guard(lock);
                    if (inside.fetch_add(1) >= 100) overlap = true;
                    std::this_thread::yield();
                    inside.fetch_sub(1);
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(overlap);
    EXPECT_EQ(inside, 0);
}

TEST(TMultiReadExclusiveWriteSynchronizer, ReadersShare) {
    TMultiReadExclusiveWriteSynchronizer lock;
    std::promise<void> entered;
    std::thread other;
    {
        TReadLockGuard mine(lock);
        other = std::thread([&] {
            TReadLockGuard theirs(lock);
            entered.set_value();
        });
        // Were reads exclusive, the second reader would wait until this hold ends.
        EXPECT_EQ(entered.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }
    other.join();
}

}  // namespace
}  // namespace quorvane
