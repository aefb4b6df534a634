#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

namespace driver {

// The thread that does the session's work: the one that made the session,
// as a run of morvane-host does all its work on one. A Windows window takes
// messages from the thread that made it alone, so a plug-in's dialog made
// while one request was answered would hold the next request's worker for
// ever. Workers hand their work over and wait; the owner runs it.
class SessionThread {
public:
    // Any thread but the owner: runs `work` on the owner's thread, one
    // piece at a time, and returns when it has run (throwing what it threw).
    void Run(const std::function<void()>& work);
    // The owner: runs what was handed over within `wait`.
    void RunHandedOver(std::chrono::milliseconds wait);

private:
    // A piece of work on the stack of the thread that handed it over, until
    // that thread sees it done.
    struct Piece {
        const std::function<void()>* work;
        std::exception_ptr failure;
        bool done;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    Piece* handed_ = nullptr;  // handed over, not yet run
};

}  // namespace driver
