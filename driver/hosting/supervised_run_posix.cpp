// Supervision on POSIX systems: the work runs in a fork of this process
// (which needs no program to find and shares the scene read so far), in a
// process group of its own, below a stage that ends all it started, with
// this process too (descendants.h). The child says which call it is in
// through shared memory, and sends its result through a pipe; only a clean
// end of the child makes it a result.
#include "hosting/supervised_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "hosting/call_board.h"
#include "hosting/descendants.h"
#include "hosting/library_probe.h"
#include "hosting/supervision_protocol.h"
#include "hosting/tool_library.h"
#include "temporary_files.h"
#include "text/name_text.h"

namespace driver {

namespace {

bool WriteAll(int to, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(to, data, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The child is a process group of its own, which its interrupts reach;
// but where standard input is a terminal, which a run may read, it stays
// in the terminal's foreground group (the other would be stopped as it
// read), and ends with this process's interrupts as this one does.
bool OwnGroup() { return ::isatty(0) == 0; }

// The child, as the plug-ins find it: quiet, the signals' default actions (none
// of the parent's handlers, which clean up the parent's files), no core
// file, ended when the parent ends.
void BecomeSupervised(pid_t parent) {
    if (OwnGroup()) {
        ::setpgid(0, 0);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(1);
    }
    // What the system's loader or a library writes to standard error on
    // its own (an assertion of a damaged library) is not the run's: the
    // run's own lines reach it through the driver.
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 2);
    if (quiet > 2) {
        ::close(quiet);
    }
    TakeDefaultSignalsWithoutCore();
}

// Sends the result, unless a library closed the pipe and the descriptor
// now names something else; then ends the process, through its exit
// handlers if asked (the libraries' too), with nothing more to say.
[[noreturn]] void Answer(int pipe, const struct stat& pipeStatus, const std::string& result, CallBoard& board,
                         bool exitHandlers) {
    struct stat now {};
    const bool same = ::fstat(pipe, &now) == 0 && now.st_dev == pipeStatus.st_dev && now.st_ino == pipeStatus.st_ino;
    const std::string frame = Framed(result);
    if (!same || !WriteAll(pipe, frame.data(), frame.size())) {
        ::_exit(2);
    }
    ::close(pipe);
    if (!exitHandlers) {
        ::_exit(0);
    }
    const int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    BoardWatcher(board).Entering(board.loaded, "the process's exit (the libraries' exit handlers)");
    std::exit(0);
}

[[noreturn]] void RunChild(pid_t parent, int pipe, CallBoard& board, const std::function<std::string()>& work,
                           bool exitHandlers) {
    BecomeSupervised(parent);
    struct stat pipeStatus {};
    ::fstat(pipe, &pipeStatus);
    static BoardWatcher* const watcher = new BoardWatcher(board);
    standin::WatchPluginCalls(watcher);
    SkipLibraryProbes();  // this process is the probe
    std::string result;
    try {
        result = work();
    } catch (...) {
        ::_exit(3);
    }
    Answer(pipe, pipeStatus, result, board, exitHandlers);
}

std::string BlameOfLoad(const CallBoard& board, const std::string& line);

class Supervision {
public:
    // The child's end is heard of through a descriptor where the system
    // has them (pidfd_open), else looked for at growing intervals.
    Supervision(pid_t child, int pipe, CallBoard& board, std::chrono::seconds limit)
        : child_(child),
          pipe_(pipe),
          board_(board),
          ended_(static_cast<int>(::syscall(SYS_pidfd_open, child, 0))),
          clock_(limit),
          limit_(limit) {}
    ~Supervision() {
        for (const int descriptor : {ended_, pipe_}) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }
    Supervision(const Supervision&) = delete;
    Supervision& operator=(const Supervision&) = delete;
    // The result, or throws PluginFaultError.
    std::string Watch();

private:
    bool Read(int milliseconds);
    bool Ended(bool wait);
    void Reap();
    void CheckLimit();
    [[noreturn]] void Refuse(const std::string& line);

    pid_t child_;
    int pipe_;
    CallBoard& board_;
    int ended_;
    IncomingFrame frame_;
    bool reaped_ = false;
    int status_ = 0;  // the exit status, or minus the signal that ended the child
    CallClock clock_;
    const std::chrono::seconds limit_;
};

// What the child sent, waited for up to `milliseconds`; false when
// nothing came.
bool Supervision::Read(int milliseconds) {
    pollfd ready{pipe_, POLLIN, 0};
    if (::poll(&ready, 1, milliseconds) <= 0) {
        return false;
    }
    constexpr std::size_t kPiece = 65536;
    const ssize_t got = ::read(pipe_, frame_.Room(kPiece), kPiece);
    frame_.Received(static_cast<std::size_t>(got > 0 ? got : 0));
    if (got > 0) {
        if (frame_.TooLarge()) {
            Refuse("the plug-ins' process gave an account of the run larger than " +
                   std::to_string(kMaxResultBytes >> 30) + " GiB; nothing was written");
        }
    } else if (got == 0 || errno != EINTR) {
        ::close(pipe_);
        pipe_ = -1;
    }
    return true;
}

// Whether the child (the stage, which ends once all the run started has)
// has ended; it is left a zombie, which keeps its number, to which
// interrupts are passed, from being taken, until Reap.
bool Supervision::Ended(bool wait) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOWAIT | (wait ? 0 : WNOHANG)) != 0) {
        if (errno != EINTR) {
            return true;
        }
    }
    if (info.si_pid != child_) {
        return false;
    }
    status_ = info.si_code == CLD_EXITED ? info.si_status : -info.si_status;
    return true;
}

// Ends the child and what it started, then reaps the stage.
void Supervision::Reap() {
    if (std::exchange(reaped_, true)) {
        return;
    }
    EndWithDescendants(child_);
    WaitForEnd(child_);
}

// A call that does not return within the limit ends the child and all it
// started; time outside the calls is this program's own.
void Supervision::CheckLimit() {
    if (clock_.Expired(board_)) {
        EndWithDescendants(child_);
        Ended(true);
        Refuse(FaultLine(board_, Fault::Hung, std::to_string(limit_.count()) + " s"));
    }
}

void Supervision::Refuse(const std::string& line) {
    Reap();
    throw PluginFaultError(line);
}

std::string Supervision::Watch() {
    std::chrono::milliseconds pause(1);
    for (;;) {
        if (pipe_ >= 0) {
            // A child that ended while something it started holds the
            // pipe open has sent all it will.
            if (!Read(100) && Ended(false)) {
                while (pipe_ >= 0 && Read(0)) {
                }
                break;
            }
        } else if (Ended(false)) {
            break;
        } else if (ended_ >= 0) {
            pollfd ended{ended_, POLLIN, 0};
            ::poll(&ended, 1, 100);
        } else {
            ::poll(nullptr, 0, static_cast<int>(pause.count()));
            pause = std::min(pause * 2, std::chrono::milliseconds(100));
        }
        CheckLimit();
    }
    if (status_ < 0) {
        Reap();
        Refuse(BlameOfLoad(board_, FaultLine(board_, Fault::Crashed, SignalName(-status_))));
    }
    if (status_ != 0 || !frame_.Whole()) {
        Reap();
        Refuse(BlameOfLoad(board_, FaultLine(board_, Fault::Ended, "status " + std::to_string(status_))));
    }
    Reap();  // and a process that a library left behind
    return frame_.Take();
}

// A library whose load crashed with others loaded before it may have
// been hurt by them (the system's loader reads what each loaded library
// holds at every later load): it is loaded again, alone, and when it loads
// so, the fault is theirs, and `line`, which blames it, is not said.
std::string BlameOfLoad(const CallBoard& board, const std::string& line) {
    const std::string library(board.library, strnlen(board.library, sizeof board.library));
    const std::string call(board.call, strnlen(board.call, sizeof board.call));
    std::string others(board.loaded, strnlen(board.loaded, sizeof board.loaded));
    for (const std::string& own : {", " + library, library + ", "}) {
        if (const std::size_t at = others.find(own); at != std::string::npos) {
            others.erase(at, own.size());
        }
    }
    if (call.rfind("loading", 0) != 0 || board.depth.load() == 0 || others == library) {
        return line;
    }
    try {
        RunSupervised(
            [&library] {
            try {
                LoadToolLibrary(library);
            } catch (const ToolLibraryError&) {
            }
            return std::string();
            },
            false);
    } catch (const CodedError&) {
        return line;  // it fails alone too
    }
    return Excerpt(others) + ": it made the plug-ins' process crash as " + Excerpt(library) +
           ", which loads alone, was loaded after it: the library is damaged or not made for this system; nothing "
           "was written";
}

struct SharedBoard {
    void operator()(CallBoard* board) const { ::munmap(board, sizeof *board); }
};

}  // namespace

std::string RunSupervised(const std::function<std::string()>& work, bool exitHandlers) {
    const std::chrono::seconds limit(CallLimitSeconds());
    void* shared = ::mmap(nullptr, sizeof(CallBoard), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        throw ToolLibraryError(std::string("the plug-ins cannot be run in a process of their own: ") +
                               std::strerror(errno));
    }
    const std::unique_ptr<CallBoard, SharedBoard> board(new (shared) CallBoard());
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        throw ToolLibraryError(std::string("the plug-ins cannot be run in a process of their own: ") +
                               std::strerror(errno));
    }
    std::cout.flush();
    std::cerr.flush();
    (void)std::fflush(nullptr);
    const pid_t child = ForkWithDescendants(
        [&](pid_t parent) {
        ::close(pipe[0]);
        RunChild(parent, pipe[1], *board, work, exitHandlers);
        },
        OwnGroup());
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        throw ToolLibraryError(std::string("the plug-ins cannot be run in a process of their own: ") +
                               std::strerror(errno));
    }
    const safewrite::KilledOnInterrupt group(child);
    return Supervision(child, pipe[0], *board, limit).Watch();
}

std::string RunSupervised(const std::string& request, SupervisedWork work) {
    return RunSupervised([&] { return work(request); });
}

std::optional<int> ServeSupervisor(const std::vector<std::string>&, SupervisedWork) { return std::nullopt; }

}  // namespace driver
