// The viewer's pool of workers: every task runs once, in the order given
// by one worker, never more at once than the pool's size, which it grows
// to only as tasks wait; none is taken once it finishes. The session's
// thread: whatever worker hands work over, it runs on the owner, one piece
// at a time, and its failure comes back to the worker.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "view/session_thread.h"
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
            EXPECT_EQ(pool.Running(), most);
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

// Workers idle for long end, each; the pool starts them again as tasks
// come.
TEST(WorkerPool, IdleWorkersEnd) {
    driver::WorkerPool pool(4, std::chrono::milliseconds(20));
    for (int round = 0; round < 3; ++round) {
        std::atomic<int> ran{0};
        for (int k = 0; k < 8; ++k) {
            ASSERT_TRUE(pool.Enqueue([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                ++ran;
            }));
        }
        EXPECT_GE(pool.Running(), 1u);
        // Waits for the pool to rest; the test's own time limit guards a hang.
        while (pool.Running() > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(ran, 8) << round;
    }
}

TEST(SessionThread, RunsEveryPieceOnItsOwnerOneAtATime) {
    driver::SessionThread session;
    const std::thread::id owner = std::this_thread::get_id();
    constexpr int kWorkers = 6, kPieces = 20;
    std::atomic<int> ran{0}, elsewhere{0}, atOnce{0}, failures{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int k = 0; k < kPieces; ++k) {
                try {
                    session.Run([&] {
                        elsewhere += std::this_thread::get_id() == owner ? 0 : 1;
                        EXPECT_EQ(++atOnce, 1);
                        --atOnce;
                        ++ran;
                        if ((w + k) % 7 == 0) {
                            throw std::runtime_error("refused");
                        }
                    });
                } catch (const std::runtime_error&) {
                    ++failures;
                }
            }
        });
    }
    while (ran < kWorkers * kPieces) {
        session.RunHandedOver(std::chrono::milliseconds(10));
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    int thrown = 0;
    for (int w = 0; w < kWorkers; ++w) {
        for (int k = 0; k < kPieces; ++k) {
            thrown += (w + k) % 7 == 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(elsewhere, 0);
    EXPECT_EQ(failures, thrown);
}

}  // namespace
