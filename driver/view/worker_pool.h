#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace driver {

// Threads that run tasks in the order given, at most `most` at once. A
// worker is started only when a task finds none idle, and ends once it has
// been idle for `idleEnd`, so that a quiet server holds no worker (a 32-bit
// process has room for a few hundred threads); where the system can start
// no more, a task waits for a running worker.
class WorkerPool {
public:
    static constexpr std::chrono::milliseconds kIdleEnd{2000};

    explicit WorkerPool(std::size_t most, std::chrono::milliseconds idleEnd = kIdleEnd)
        : most_(most), idleEnd_(idleEnd) {}
    ~WorkerPool() { Finish(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False, the task not taken, when no worker runs and none can start
    // (or the pool is finishing).
    bool Enqueue(std::function<void()> task);
    // Runs the tasks given so far, then ends the workers. Any thread but a
    // worker may call it.
    void Finish();
    // The workers running now, idle ones included (until Finish).
    std::size_t Running();

private:
    void Work();
    // Joins the workers that have ended by themselves.
    void JoinEnded();

    const std::size_t most_;
    const std::chrono::milliseconds idleEnd_;
    std::mutex mutex_;
    std::condition_variable given_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> workers_;
    std::vector<std::thread> ended_;  // idle too long, to be joined
    std::size_t idle_ = 0;
    bool finishing_ = false;
};

}  // namespace driver
