#include "view/worker_pool.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace driver {

bool WorkerPool::Enqueue(std::function<void()> task) {
    JoinEnded();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (finishing_) {
        return false;
    }
    if (tasks_.size() >= idle_ && workers_.size() < most_) {
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // Out of threads: the running workers take the task in turn.
        }
    }
    if (workers_.empty()) {
        return false;
    }
    tasks_.push_back(std::move(task));
    given_.notify_one();
    return true;
}

void WorkerPool::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        const bool given = given_.wait_for(lock, idleEnd_, [this] { return !tasks_.empty() || finishing_; });
        --idle_;
        if (!given) {
            // Idle too long: this worker leaves the pool, to be joined by
            // the next caller.
            const auto self = std::find_if(workers_.begin(), workers_.end(), [](const std::thread& worker) {
                return worker.get_id() == std::this_thread::get_id();
            });
            if (self != workers_.end()) {
                ended_.push_back(std::move(*self));
                workers_.erase(self);
            }
            return;
        }
        if (tasks_.empty()) {
            return;
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void WorkerPool::JoinEnded() {
    std::vector<std::thread> ended;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ended.swap(ended_);
    }
    for (std::thread& worker : ended) {
        worker.join();
    }
}

void WorkerPool::Finish() {
    std::vector<std::thread> workers;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
        workers.swap(workers_);
    }
    given_.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
    JoinEnded();
}

std::size_t WorkerPool::Running() {
    JoinEnded();
    const std::lock_guard<std::mutex> lock(mutex_);
    return workers_.size();
}

}  // namespace driver
