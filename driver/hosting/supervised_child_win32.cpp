// The plug-ins' process on Windows: this program started again by its
// supervisor (supervised_run_win32.cpp), with the handles it inherited
// named on its command line. It reads the request, runs the work, and
// answers; a crash ends it at once, with the exception's code as its
// status.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "hosting/call_board.h"
#include "hosting/supervised_run.h"
#include "hosting/supervision_protocol.h"

namespace driver {

namespace {

// No dialog, no debugger: the exception's code is the process's status.
LONG WINAPI EndWithException(EXCEPTION_POINTERS* exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool ReadHandles(const std::string& text, HANDLE (&handles)[3]) {
    const char* at = text.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(at, &end, 16);
        if (end == at || *end != (i < 2 ? ',' : '\0')) {
            return false;
        }
        handles[i] = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
        at = end + 1;
    }
    return true;
}

bool ReadRequest(HANDLE pipe, std::string& request) {
    IncomingFrame frame;
    constexpr DWORD kPiece = 65536;
    for (;;) {
        DWORD got = 0;
        const BOOL read = ReadFile(pipe, frame.Room(kPiece), kPiece, &got, nullptr);
        frame.Received(got);
        if (!read || got == 0) {
            break;
        }
    }
    CloseHandle(pipe);
    if (!frame.Whole()) {
        return false;
    }
    request = frame.Take();
    return true;
}

bool WriteAll(HANDLE pipe, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 20));
        DWORD put = 0;
        if (!WriteFile(pipe, bytes.data() + at, piece, &put, nullptr) || put == 0) {
            return false;
        }
        at += put;
    }
    return true;
}

}  // namespace

std::optional<int> ServeSupervisor(const std::vector<std::string>& arguments, SupervisedWork work) {
    const std::string serve = kServeSwitch;
    if (arguments.size() != 1 || arguments[0].compare(0, serve.size(), serve) != 0) {
        return std::nullopt;
    }
    HANDLE handles[3] = {};
    if (!ReadHandles(arguments[0].substr(serve.size()), handles)) {
        return 2;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndWithException);
    void* shared = MapViewOfFile(handles[2], FILE_MAP_ALL_ACCESS, 0, 0, sizeof(CallBoard));
    std::string request;
    if (shared == nullptr || !ReadRequest(handles[0], request)) {
        return 2;
    }
    auto& board = *static_cast<CallBoard*>(shared);
    static BoardWatcher* const watcher = new BoardWatcher(board);
    standin::WatchPluginCalls(watcher);
    const std::string result = work(request);
    if (!WriteAll(handles[1], Framed(result))) {
        return 2;
    }
    CloseHandle(handles[1]);
    // What the libraries left for the end runs as this process ends.
    BoardWatcher(board).Entering(board.loaded, "the process's exit (the libraries' exit handlers)");
    return 0;
}

}  // namespace driver
