// Supervision on Windows: the work runs in this program started again as a
// plug-ins' process (supervised_child_win32.cpp), which inherits only the
// ends of two anonymous pipes, the call board's shared memory and its
// standard input; nothing of the run is on its command line. It runs in a
// job object that ends it, and all it started, when the job's one handle
// closes: when this process ends, however it ends.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "hosting/call_board.h"
#include "hosting/supervised_run.h"
#include "hosting/supervision_protocol.h"
#include "hosting/tool_library.h"

namespace driver {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { Close(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&&) = delete;
    HANDLE Get() const { return handle_; }
    HANDLE* Out() { return &handle_; }
    void Close() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_;
};

struct Unmapped {
    void operator()(CallBoard* board) const { UnmapViewOfFile(board); }
};

[[noreturn]] void CannotRun(const char* what) {
    throw ToolLibraryError(std::string("the plug-ins cannot be run in a process of their own: ") + what +
                           " failed (error " + std::to_string(GetLastError()) + ")");
}

std::string Hex(HANDLE handle) {
    char text[24];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(handle)));
    return text;
}

// The exception that ended a process, from its status; none for a status
// that a program gives.
std::string ExceptionOf(DWORD status) {
    struct Known {
        DWORD code;
        const char* name;
    };
    static const Known kKnown[] = {{0xC0000005, "access violation"},     {0xC000001D, "illegal instruction"},
                                   {0xC0000094, "division by zero"},     {0xC00000FD, "stack overflow"},
                                   {0xC0000409, "stack buffer overrun"}, {0x80000003, "breakpoint"}};
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    for (const Known& known : kKnown) {
        if (known.code == status) {
            return std::string(known.name) + ", " + code;
        }
    }
    return (status & 0xC0000000) == 0xC0000000 ? std::string("exception ") + code : std::string();
}

// The plug-ins' process, started with `handles` (the ones it may
// inherit), in `job`, suspended until it is in it.
Handle StartChild(HANDLE job, const std::wstring& handles, HANDLE input, HANDLE quiet) {
    std::wstring program(32768, L'\0');
    program.resize(GetModuleFileNameW(nullptr, &program[0], static_cast<DWORD>(program.size())));
    std::wstring command = L"\"" + program + L"\" " + handles;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = quiet;
    startup.hStdError = quiet;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        CannotRun("CreateProcess");
    }
    Handle thread(process.hThread);
    Handle child(process.hProcess);
    if (!AssignProcessToJobObject(job, child.Get())) {
        TerminateProcess(child.Get(), 1);
        CannotRun("AssignProcessToJobObject");
    }
    ResumeThread(thread.Get());
    return child;
}

// A job that ends all its processes as its last handle closes, this
// process's end too. No breakaway is allowed (neither of the BREAKAWAY_OK
// limits), so a process that a plug-in starts with CREATE_BREAKAWAY_FROM_JOB
// is refused, and every process started in the job stays in it.
Handle KillingJob() {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                              JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (job.Get() == nullptr ||
        !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CannotRun("CreateJobObject");
    }
    return job;
}

// Reads what came on `pipe` without waiting, counting it in `came`;
// false once the pipe is closed.
bool Drain(HANDLE pipe, IncomingFrame& frame, bool& came) {
    for (;;) {
        DWORD ready = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr)) {
            return false;
        }
        if (ready == 0) {
            return true;
        }
        came = true;
        DWORD got = 0;
        const BOOL read = ReadFile(pipe, frame.Room(ready), ready, &got, nullptr);
        frame.Received(got);
        if (!read) {
            return false;
        }
    }
}

void WriteRequest(HANDLE pipe, const std::string& request) {
    const std::string frame = Framed(request);
    DWORD put = 0;
    for (std::size_t at = 0; at < frame.size(); at += put) {
        if (!WriteFile(pipe, frame.data() + at, static_cast<DWORD>(frame.size() - at), &put, nullptr) || put == 0) {
            return;  // the process ended: its end says how
        }
    }
}

// Ends every process of `job` and waits until the system has taken them
// all (a bounded wait: a process that the system cannot end is not waited
// for forever), so that nothing of the run outlives morvane-host.
void EndJob(HANDLE job) {
    TerminateJobObject(job, 1);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
    for (int tries = 0; tries < 1000; ++tries) {
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &counts, sizeof counts, nullptr) ||
            counts.ActiveProcesses == 0) {
            return;
        }
        Sleep(10);
    }
}

class Supervision {
public:
    Supervision(Handle job, Handle child, Handle results, CallBoard& board)
        : job_(std::move(job)), child_(std::move(child)), results_(std::move(results)), board_(board) {}
    ~Supervision() { EndJob(job_.Get()); }
    Supervision(const Supervision&) = delete;
    Supervision& operator=(const Supervision&) = delete;
    std::string Watch(std::chrono::seconds limit);

private:
    [[noreturn]] void Refuse(const std::string& line) {
        EndJob(job_.Get());
        throw PluginFaultError(line);
    }

    Handle job_;
    Handle child_;
    Handle results_;
    CallBoard& board_;
};

std::string Supervision::Watch(std::chrono::seconds limit) {
    IncomingFrame frame;
    CallClock clock(limit);
    bool open = true;
    for (;;) {
        bool came = false;  // then more may come at once
        open = open && Drain(results_.Get(), frame, came);
        if (frame.TooLarge()) {
            Refuse("the plug-ins' process gave an account of the run larger than " +
                   std::to_string(kMaxResultBytes >> 30) + " GiB; nothing was written");
        }
        if (WaitForSingleObject(child_.Get(), came ? 0 : 20) == WAIT_OBJECT_0) {
            break;
        }
        if (clock.Expired(board_)) {
            EndJob(job_.Get());
            Refuse(FaultLine(board_, Fault::Hung, std::to_string(limit.count()) + " s"));
        }
    }
    bool came = false;
    if (open) {
        Drain(results_.Get(), frame, came);
    }
    DWORD status = 1;
    GetExitCodeProcess(child_.Get(), &status);
    if (const std::string exception = ExceptionOf(status); !exception.empty()) {
        Refuse(FaultLine(board_, Fault::Crashed, exception));
    }
    if (status != 0 || !frame.Whole()) {
        Refuse(FaultLine(board_, Fault::Ended, "status " + std::to_string(status)));
    }
    return frame.Take();
}

}  // namespace

std::string RunSupervised(const std::string& request, SupervisedWork) {
    const std::chrono::seconds limit(CallLimitSeconds());
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle shared(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0, sizeof(CallBoard), nullptr));
    void* view = shared.Get() != nullptr ? MapViewOfFile(shared.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (view == nullptr) {
        CannotRun("CreateFileMapping");
    }
    const std::unique_ptr<CallBoard, Unmapped> board(new (view) CallBoard());
    Handle requestsIn, requestsOut, resultsIn, resultsOut;
    if (!CreatePipe(requestsIn.Out(), requestsOut.Out(), &inherited, 0) ||
        !CreatePipe(resultsIn.Out(), resultsOut.Out(), &inherited, 1 << 20) ||
        !SetHandleInformation(requestsOut.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !SetHandleInformation(resultsIn.Get(), HANDLE_FLAG_INHERIT, 0)) {
        CannotRun("CreatePipe");
    }
    Handle quiet(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr));
    Handle input;
    if (!DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_INPUT_HANDLE), GetCurrentProcess(), input.Out(), 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        *input.Out() = nullptr;
    }
    const std::string named =
        kServeSwitch + Hex(requestsIn.Get()) + "," + Hex(resultsOut.Get()) + "," + Hex(shared.Get());
    const std::wstring handles(named.begin(), named.end());  // ASCII
    Handle job = KillingJob();
    Handle child = StartChild(job.Get(), handles, input.Get() != nullptr ? input.Get() : quiet.Get(), quiet.Get());
    for (Handle* childs : {&requestsIn, &resultsOut, &quiet, &input}) {
        childs->Close();
    }
    Supervision supervision(std::move(job), std::move(child), std::move(resultsIn), *board);
    WriteRequest(requestsOut.Get(), request);
    requestsOut.Close();
    return supervision.Watch(limit);
}

}  // namespace driver
