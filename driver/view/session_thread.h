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
    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* work_ = nullptr;  // handed over, not yet run
    unsigned long long given_ = 0, ran_ = 0;       // pieces handed over, and run
    std::exception_ptr failure_;                   // what the piece run last threw
};

}  // namespace driver
