// Interrupting signals on POSIX systems. The handler only removes files and
// ends the process (unlink and _exit, both safe in a handler), passes the
// signal to the plug-ins' process (kill), or passes it on to the handler
// that was there before.
#include <atomic>
#include <csignal>
#include <exception>

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
std::atomic<bool> toldAtRunEnd{false};

int IndexOf(int signal) {
    for (int i = 0; i < kCount; ++i) {
        if (kInterrupts[i] == signal) {
            return i;
        }
    }
    return 0;
}

// The plug-ins' process (the group it leads, else itself) is given the
// signal, so that a save in progress there ends as this process would: its
// temporary removed before its file changes, or, once the run's tools have
// begun to save, held until its actions are replayed.
void Forward(int group, int signal) {
    if (kill(-group, signal) != 0) {
        kill(group, signal);
    }
}

void OnInterrupt(int signal, siginfo_t* info, void* context) {
    // A thread is putting files in place: the signal takes effect once it
    // is done, as it would on that thread.
    if (holds > 0) {
        int none = 0;
        deferred.compare_exchange_strong(none, signal);
        return;
    }
    // While the plug-ins' process runs, it decides: this process ends
    // once it has (KilledOnInterrupt), with what it did.
    if (const int group = killedGroup.load(); group > 0) {
        Forward(group, signal);
        int none = 0;
        deferred.compare_exchange_strong(none, signal);
        return;
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

KilledOnInterrupt::KilledOnInterrupt(int group)
    : before_(killedGroup.exchange(group)), unwinding_(std::uncaught_exceptions()) {}

// A process that ended by the signal (its run failed) changed nothing: the
// signal ends this one now. One that ended well held it for its tools'
// saves: the program tells it at its run's end where it asked to.
KilledOnInterrupt::~KilledOnInterrupt() {
    killedGroup.store(before_);
    if (before_ == 0 && holds == 0 && (std::uncaught_exceptions() > unwinding_ || !toldAtRunEnd)) {
        EndIfInterrupted();
    }
}

void TellInterruptsAtRunEnd() { toldAtRunEnd = true; }

void EndIfInterrupted() {
    if (const int signal = deferred.exchange(0); signal != 0) {
        raise(signal);
    }
}

int TakeInterrupt() { return deferred.exchange(0); }

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
