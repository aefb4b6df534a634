// The probe of a library on POSIX systems: a child of this process (a
// fork, which needs no program to find) loads it and says what it found
// through a pipe; a crash, an end of its own or silence past a time limit
// is the library's fault.
#include "hosting/library_probe.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/name_text.h"

namespace driver {

namespace {

// A library's static objects and entry run in well under a second; one
// that hangs is given up on.
constexpr int kProbeMilliseconds = 20000;
constexpr char kPassed[] = "passed";

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
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        std::signal(signal, SIG_DFL);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    std::string said = kPassed;
    try {
        load();
    } catch (const std::exception& e) {
        said = e.what();
    }
    (void)!::write(answer, said.data(), said.size());
    ::_exit(0);
}

// What the child said, until it closes its end or the time is up.
bool ReadAnswer(int from, std::string& said) {
    char buffer[4096];
    for (;;) {
        pollfd ready{from, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kProbeMilliseconds);
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

std::string SignalName(int signal) {
    const char* name = ::sigabbrev_np(signal);
    return name != nullptr ? "SIG" + std::string(name) : "signal " + std::to_string(signal);
}

std::optional<std::string> ProbeInChild(const std::string& path, const std::function<void()>& load) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return Excerpt(path) + ": cannot be tried in a process of its own: " + std::strerror(errno);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        Probe(pipe[1], load);
    }
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        return Excerpt(path) + ": cannot be tried in a process of its own: " + std::strerror(errno);
    }
    std::string said;
    const bool answered = ReadAnswer(pipe[0], said);
    ::close(pipe[0]);
    if (!answered) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!answered) {
        return Excerpt(path) + ": the library did not answer within " + std::to_string(kProbeMilliseconds / 1000) +
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
