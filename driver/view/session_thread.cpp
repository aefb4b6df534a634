#include "view/session_thread.h"

#include <utility>

namespace driver {

void SessionThread::Run(const std::function<void()>& work) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return work_ == nullptr; });
    work_ = &work;
    const unsigned long long mine = ++given_;
    changed_.notify_all();
    changed_.wait(lock, [this, mine] { return ran_ >= mine; });
    if (failure_) {
        // The work's exception, as though this thread had run it.
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
}

void SessionThread::RunHandedOver(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, wait, [this] { return work_ != nullptr; })) {
        return;
    }
    const std::function<void()>* work = work_;
    lock.unlock();
    std::exception_ptr failure;
    try {
        (*work)();
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    work_ = nullptr;
    ++ran_;
    changed_.notify_all();
}

}  // namespace driver
