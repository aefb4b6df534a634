#include "view/worker_pool.h"

#include <system_error>
#include <utility>

namespace driver {

bool WorkerPool::Enqueue(std::function<void()> task) {
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
        given_.wait(lock, [this] { return !tasks_.empty() || finishing_; });
        --idle_;
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
}

std::size_t WorkerPool::Started() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return workers_.size();
}

}  // namespace driver
