#include "view/session_thread.h"

namespace driver {

void SessionThread::Run(const std::function<void()>& work) {
    Piece piece{&work, nullptr, false};
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return handed_ == nullptr; });
    handed_ = &piece;
    changed_.notify_all();
    changed_.wait(lock, [&piece] { return piece.done; });
    if (piece.failure) {
        // The work's exception, as though this thread had run it.
        std::rethrow_exception(piece.failure);
    }
}

void SessionThread::RunHandedOver(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, wait, [this] { return handed_ != nullptr; })) {
        return;
    }
    Piece& piece = *handed_;
    lock.unlock();
    try {
        (*piece.work)();
    } catch (...) {
        piece.failure = std::current_exception();
    }
    lock.lock();
    piece.done = true;
    handed_ = nullptr;
    changed_.notify_all();
}

}  // namespace driver
