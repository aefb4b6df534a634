// The viewer's pool of workers: every task runs once, in the order given
// by one worker, never more at once than the pool's size, which it grows
// to only as tasks wait; none is taken once it finishes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "view/worker_pool.h"

namespace {

TEST(WorkerPool, RunsEachTaskOnceAndNoMoreAtOnceThanItsSize) {
    for (const std::size_t most : {1U, 2U, 7U}) {
        const std::size_t count = 3 * most + 2;
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        std::size_t running = 0, mostRunning = 0;
        std::vector<std::size_t> order;
        driver::WorkerPool pool(most);
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_TRUE(pool.Enqueue([&, k] {
                std::unique_lock<std::mutex> lock(mutex);
                mostRunning = std::max(mostRunning, ++running);
                order.push_back(k);
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
                --running;
            }));
        }
        {
            // Every worker holds a task: the pool has grown to its size.
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return running == most; });
            EXPECT_EQ(pool.Started(), most);
            released = true;
            changed.notify_all();
        }
        pool.Finish();
        EXPECT_FALSE(pool.Enqueue([&] { order.push_back(count); })) << most;
        EXPECT_EQ(mostRunning, most);
        ASSERT_EQ(order.size(), count) << most;
        std::vector<std::size_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t k = 0; k < count; ++k) {
            EXPECT_EQ(sorted[k], k) << most;
            if (most == 1) {
                EXPECT_EQ(order[k], k);
            }
        }
    }
}

}  // namespace
