// Interrupting signals on POSIX systems. The handler only removes files and
// ends the process (unlink and _exit, both safe in a handler), or passes
// the signal on to the handler that was there before.
#include <atomic>
#include <csignal>

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "interrupts.h"
#include "temporary_files.h"

namespace safewrite {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
constexpr int kCount = sizeof kInterrupts / sizeof kInterrupts[0];

std::atomic<bool> exitOnInterrupt{false};
bool installed = false;
// Holds of any thread, and the signal that came to another thread meanwhile.
std::atomic<int> holds{0};
std::atomic<int> deferred{0};
struct sigaction before[kCount];
std::atomic<int> killedGroup{0};

int IndexOf(int signal) {
    for (int i = 0; i < kCount; ++i) {
        if (kInterrupts[i] == signal) {
            return i;
        }
    }
    return 0;
}

void OnInterrupt(int signal, siginfo_t* info, void* context) {
    // A thread is putting files in place: the signal takes effect once it
    // is done, as it would on that thread.
    if (holds > 0) {
        int none = 0;
        deferred.compare_exchange_strong(none, signal);
        return;
    }
    if (const int group = killedGroup.load(); group > 0) {
        kill(-group, SIGKILL);
    }
    RemoveTrackedTemporaries();
    if (exitOnInterrupt) {
        _exit(128 + signal);
    }
    const struct sigaction& earlier = before[IndexOf(signal)];
    if ((earlier.sa_flags & SA_SIGINFO) != 0) {
        earlier.sa_sigaction(signal, info, context);
    } else if (earlier.sa_handler == SIG_DFL) {
        // Held until this handler returns, then the default ends the process.
        sigaction(signal, &earlier, nullptr);
        raise(signal);
    } else if (earlier.sa_handler != SIG_IGN) {
        earlier.sa_handler(signal);
    }
}

// A signal that was ignored stays ignored: the process goes on, and so do
// its saves.
void Install() {
    struct sigaction mine {};
    mine.sa_sigaction = OnInterrupt;
    mine.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&mine.sa_mask);
    for (const int signal : kInterrupts) {
        sigaddset(&mine.sa_mask, signal);
    }
    for (int i = 0; i < kCount; ++i) {
        sigaction(kInterrupts[i], nullptr, &before[i]);
        if ((before[i].sa_flags & SA_SIGINFO) != 0 || before[i].sa_handler != SIG_IGN) {
            sigaction(kInterrupts[i], &mine, nullptr);
        }
    }
    installed = true;
}

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kInterrupts) {
        sigaddset(&set, signal);
    }
    return set;
}

}  // namespace

namespace detail {

void FirstTracked() {
    if (!installed) {
        Install();
    }
}

void NoneTracked() {
    if (installed && !exitOnInterrupt) {
        for (int i = 0; i < kCount; ++i) {
            sigaction(kInterrupts[i], &before[i], nullptr);
        }
        installed = false;
    }
}

}  // namespace detail

void ExitOnInterrupt() {
    exitOnInterrupt = true;
    if (!installed) {
        Install();
    }
}

KilledOnInterrupt::KilledOnInterrupt(int group) : before_(killedGroup.exchange(group)) {}

KilledOnInterrupt::~KilledOnInterrupt() { killedGroup.store(before_); }

InterruptsHeld::InterruptsHeld() {
    ++holds;
    const sigset_t set = InterruptSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() {
    if (kept_) {
        return;
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    if (--holds == 0) {
        if (const int signal = deferred.exchange(0); signal != 0) {
            raise(signal);
        }
    }
}

int InterruptsHeld::Take() {
    const sigset_t set = InterruptSet();
    const timespec now{0, 0};
    int taken = deferred.exchange(0);
    for (int signal = 0; (signal = sigtimedwait(&set, nullptr, &now)) > 0;) {
        taken = taken != 0 ? taken : signal;
    }
    return taken;
}

}  // namespace safewrite
