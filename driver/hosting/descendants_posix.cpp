// The stage between this process and the plug-ins' process, a child
// subreaper (see descendants.h). A PID namespace or a cgroup would hold the
// descendants more firmly, but both need privileges (or user namespaces)
// that a user's system may not grant; a subreaper needs none, and what
// leaves its group or session still comes to it.
#include "hosting/descendants.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace driver {

namespace {

// What tells the stage to end all: this process, or its end (the stage's
// parent-death signal).
constexpr int kEndAll = SIGUSR2;
constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

sigset_t Awaited() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    sigaddset(&set, kEndAll);
    for (const int signal : kPassedOn) {
        sigaddset(&set, signal);
    }
    return set;
}

bool ReadWhole(const std::string& path, std::string& text) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    char piece[4096];
    for (ssize_t got = 0; (got = ::read(file, piece, sizeof piece)) != 0;) {
        if (got < 0 && errno != EINTR) {
            break;
        }
        text.append(piece, static_cast<std::size_t>(got > 0 ? got : 0));
    }
    ::close(file);
    return true;
}

// The whole of `text` as a number, else -1.
long WholeNumber(const char* text) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    return end != text && *end == '\0' ? number : -1;
}

// The parent of the process that `status` (its /proc stat) tells of: the
// field after its name, which may hold anything, then its state.
long ParentIn(const std::string& status) {
    const std::string::size_type named = status.rfind(") ");
    if (named == std::string::npos || named + 4 >= status.size()) {
        return -1;
    }
    char* end = nullptr;
    return std::strtol(status.c_str() + named + 4, &end, 10);
}

// The stage's children, each process whose parent it is, zombies too.
// (The kernel's own list of children, /proc/PID/task/TID/children, is not
// kept by every kernel.) One that lived from the start of the walk to its
// end is found; a walk that finds none therefore leaves none to find.
std::vector<pid_t> Children() {
    const pid_t self = ::getpid();
    std::vector<pid_t> children;
    DIR* processes = ::opendir("/proc");
    while (const dirent* entry = processes != nullptr ? ::readdir(processes) : nullptr) {
        const long process = WholeNumber(entry->d_name);
        std::string status;
        if (process > 0 && ReadWhole("/proc/" + std::string(entry->d_name) + "/stat", status) &&
            ParentIn(status) == self) {
            children.push_back(static_cast<pid_t>(process));
        }
    }
    if (processes != nullptr) {
        ::closedir(processes);
    }
    return children;
}

// Kills and reaps every child, then those that came to the stage as they
// ended, until a pass finds none: one that starts others as it is killed
// only adds a pass.
void EndDescendants() {
    for (std::vector<pid_t> left = Children(); !left.empty(); left = Children()) {
        for (const pid_t process : left) {
            ::kill(-process, SIGKILL);  // the group it leads, where it leads one
            ::kill(process, SIGKILL);
        }
        for (const pid_t process : left) {
            WaitForEnd(process);
        }
    }
}

void Signal(pid_t worker, bool ownGroup, int signal) {
    if (!ownGroup || ::kill(-worker, signal) != 0) {
        ::kill(worker, signal);
    }
}

// Whether the worker has ended (it is left unreaped); what else has ended
// meanwhile is reaped, so that a line of short-lived processes leaves none.
bool WorkerEnded(pid_t worker) {
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) {
            return false;
        }
        if (info.si_pid == worker) {
            return true;
        }
        ::waitpid(info.si_pid, nullptr, 0);
    }
}

// Waits for the worker's end, passing it the interrupts that the parent
// sends and ending it when told; then ends all that is left. The
// worker's status.
int Watch(pid_t parent, pid_t worker, bool ownGroup) {
    const sigset_t awaited = Awaited();
    for (;;) {
        siginfo_t info{};
        if (::sigwaitinfo(&awaited, &info) < 0) {
            continue;
        }
        const bool fromParent = info.si_pid == parent;
        if (info.si_signo == SIGCHLD) {
            if (WorkerEnded(worker)) {
                break;
            }
        } else if (info.si_signo == kEndAll) {
            if (fromParent || ::getppid() != parent) {
                Signal(worker, ownGroup, SIGKILL);
                ::kill(worker, SIGKILL);
            }
        } else if (fromParent) {
            Signal(worker, ownGroup, info.si_signo);
        }
    }
    if (ownGroup) {
        ::kill(-worker, SIGKILL);
    }
    const int status = WaitForEnd(worker);
    EndDescendants();
    return status;
}

// The stage holds none of this process's descriptors: a connection or a
// pipe that this process closes ends then, as it would without the stage.
void CloseDescriptors() {
    if (::close_range(0, ~0U, 0) == 0) {
        return;
    }
    std::vector<int> open;
    if (DIR* listed = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(listed)) {
            const long descriptor = WholeNumber(entry->d_name);
            if (descriptor >= 0 && descriptor != ::dirfd(listed)) {
                open.push_back(static_cast<int>(descriptor));
            }
        }
        ::closedir(listed);
    }
    for (const int descriptor : open) {
        ::close(descriptor);
    }
}

// Ends as the worker did: by its signal (the default action, no core
// file), else with its exit status.
[[noreturn]] void EndAs(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        std::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(signal);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

[[noreturn]] void RunStage(pid_t parent, const std::function<void(pid_t)>& work, bool ownGroup) {
    const sigset_t awaited = Awaited();
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &awaited, &before);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ::prctl(PR_SET_PDEATHSIG, kEndAll);
    if (::getppid() != parent) {
        ::_exit(1);
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const pid_t stage = ::getpid();
    const pid_t worker = ::fork();
    if (worker == 0) {
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        work(stage);
        ::_exit(1);
    }
    if (worker < 0) {
        ::_exit(1);
    }
    if (ownGroup) {
        ::setpgid(worker, worker);  // as the worker does, whichever comes first
    }
    CloseDescriptors();
    EndAs(Watch(parent, worker, ownGroup));
}

}  // namespace

pid_t ForkWithDescendants(const std::function<void(pid_t parent)>& work, bool ownGroup) {
    const pid_t parent = ::getpid();
    const pid_t stage = ::fork();
    if (stage == 0) {
        RunStage(parent, work, ownGroup);
    }
    return stage;
}

void EndWithDescendants(pid_t stage) { ::kill(stage, kEndAll); }

int WaitForEnd(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

void TakeDefaultSignalsWithoutCore() {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        std::signal(signal, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

std::string SignalName(int signal) {
    const char* name = ::sigabbrev_np(signal);
    return name != nullptr ? "SIG" + std::string(name) : "signal " + std::to_string(signal);
}

}  // namespace driver
