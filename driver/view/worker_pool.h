#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace driver {

// Threads that run tasks in the order given, at most `most` at once. A
// worker is started only when a task finds none idle, so that a quiet
// server holds few threads (a 32-bit process has room for a few hundred);
// where the system can start no more, a task waits for a running worker.
class WorkerPool {
public:
    explicit WorkerPool(std::size_t most) : most_(most) {}
    ~WorkerPool() { Finish(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False, the task not taken, when no worker runs and none can start
    // (or the pool is finishing).
    bool Enqueue(std::function<void()> task);
    // Runs the tasks given so far, then ends the workers. Any thread but a
    // worker may call it.
    void Finish();
    // The workers started so far (until Finish).
    std::size_t Started();

private:
    void Work();

    const std::size_t most_;
    std::mutex mutex_;
    std::condition_variable given_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> workers_;
    std::size_t idle_ = 0;
    bool finishing_ = false;
};

}  // namespace driver
