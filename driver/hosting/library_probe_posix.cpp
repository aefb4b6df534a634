// The probe of a library on POSIX systems: a child of this process (a
// fork, which needs no program to find) loads it and says what it found
// through a pipe; a crash, an end of its own or silence past a time limit
// is the library's fault.
#include "hosting/library_probe.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "hosting/descendants.h"
#include "hosting/supervised_run.h"
#include "text/name_text.h"

namespace driver {

namespace {

constexpr char kPassed[] = "passed";

using Clock = std::chrono::steady_clock;

using Identity = std::tuple<dev_t, ino_t, off_t, long long, long long>;

std::optional<Identity> IdentityOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return Identity{status.st_dev, status.st_ino, status.st_size,
                    static_cast<long long>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                    static_cast<long long>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec};
}

// The child: quiet, without a core file, with the signals' default
// actions (none of the parent's handlers, which clean up the parent's
// files), says "passed" or the refusal, and ends without running the
// library's or this program's exit code.
[[noreturn]] void Probe(int answer, const std::function<void()>& load) {
    const int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(quiet, 0);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    TakeDefaultSignalsWithoutCore();
    std::signal(SIGPIPE, SIG_IGN);
    std::string said = kPassed;
    try {
        load();
    } catch (const std::exception& e) {
        said = e.what();
    }
    (void)!::write(answer, said.data(), said.size());
    ::_exit(0);
}

// What the child said, until it closes its end; false when the deadline
// came first.
bool ReadAnswer(int from, Clock::time_point deadline, std::string& said) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{from, POLLIN, 0};
        const int polled = left > 0 ? ::poll(&ready, 1, static_cast<int>(left)) : 0;
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return false;
        }
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return true;
        }
        said.append(buffer, static_cast<std::size_t>(got));
    }
}

// Whether `child` ended by the deadline (it is then reaped, its status in
// `status`): one that closed its end of the pipe may still run.
bool EndedBy(pid_t child, Clock::time_point deadline, int& status) {
    for (auto pause = std::chrono::microseconds(200);; pause = std::min(pause * 2, std::chrono::microseconds(50000))) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    }
}

std::optional<std::string> ProbeInChild(const std::string& path, const std::function<void()>& load) {
    const int seconds = CallLimitSeconds();  // a library's entry is a plug-in's call
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return Excerpt(path) + ": cannot be tried in a process of its own: " + std::strerror(errno);
    }
    // What the library starts as it loads ends with the probe.
    const pid_t child = ForkWithDescendants(
        [&](pid_t) {
        ::close(pipe[0]);
        Probe(pipe[1], load);
        },
        true);
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        return Excerpt(path) + ": cannot be tried in a process of its own: " + std::strerror(errno);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    std::string said;
    int status = 0;
    const bool answered = ReadAnswer(pipe[0], deadline, said) && EndedBy(child, deadline, status);
    ::close(pipe[0]);
    if (!answered) {
        EndWithDescendants(child);
        WaitForEnd(child);
        return Excerpt(path) + ": the library did not answer and end within " + std::to_string(seconds) +
               " s of being loaded";
    }
    if (WIFSIGNALED(status)) {
        return Excerpt(path) + ": the library crashed as it was loaded and asked for its class descriptor (" +
               SignalName(WTERMSIG(status)) + "): it is damaged or not made for this system";
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || said.empty()) {
        return Excerpt(path) + ": loading the library ended its process (status " +
               std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
               "), as the system's loader does with a damaged library";
    }
    return said == kPassed ? std::nullopt : std::optional<std::string>(said);
}

}  // namespace

namespace {

std::atomic<bool> probing{true};

}  // namespace

void SkipLibraryProbes() { probing = false; }

std::optional<std::string> ProbeLibrary(const std::string& path, const std::function<void()>& load) {
    if (!probing) {
        return std::nullopt;
    }
    static std::mutex lock;
    static std::map<Identity, std::optional<std::string>> probed;
    const std::optional<Identity> identity = IdentityOf(path);
    if (!identity) {
        return ProbeInChild(path, load);  // the load says what is wrong
    }
    const std::lock_guard<std::mutex> held(lock);
    const auto found = probed.find(*identity);
    if (found != probed.end()) {
        return found->second;
    }
    return probed.emplace(*identity, ProbeInChild(path, load)).first->second;
}

}  // namespace driver
