// Raw HTTP clients on loopback for the viewer's tests, on POSIX systems and
// on Windows alike, and what the test process costs (threads, memory).
#pragma once

#if defined(_WIN32)
#  include <windows.h>
#  include <psapi.h>
#  include <tlhelp32.h>
#  include <winsock2.h>
#  include <ws2tcpip.h>
#else
#  include <arpa/inet.h>
#  include <fcntl.h>
#  include <netinet/in.h>
#  include <sys/socket.h>
#  include <sys/time.h>
#  include <unistd.h>
#  include <fstream>
#endif

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace test_support {

#if defined(_WIN32)
using Socket = SOCKET;
constexpr int kNoSignal = 0;  // Windows raises none on a closed connection
inline void Close(Socket socket) { closesocket(socket); }
#else
using Socket = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
inline void Close(Socket socket) { close(socket); }
#endif

inline void StartSockets() {
#if defined(_WIN32)
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    EXPECT_TRUE(started);
#endif
}

// A connection to 127.0.0.1:port, which blocks on its calls.
inline Socket Connect(int port) {
    StartSockets();
    const Socket socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    return socket;
}

// A connection to [::1]:port, or none where nothing listens there.
inline std::optional<Socket> ConnectIpv6(int port) {
    StartSockets();
    const Socket socket = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    address.sin6_addr = in6addr_loopback;
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        Close(socket);
        return std::nullopt;
    }
    return socket;
}

// From now on, a send takes what fits and a receive what has come.
inline void DoNotWait(Socket socket) {
#if defined(_WIN32)
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
#else
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
#endif
}

// A receive that has waited `seconds` for a byte returns none (a hang
// guard, not a measure).
inline void ReceiveWithin(Socket socket, int seconds) {
#if defined(_WIN32)
    const DWORD limit = static_cast<DWORD>(seconds) * 1000;
#else
    const timeval limit{seconds, 0};
#endif
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

inline long Send(Socket socket, const std::string& bytes) {
    return static_cast<long>(send(socket, bytes.data(), static_cast<int>(bytes.size()), kNoSignal));
}

// What comes until the connection ends (or a receive fails).
inline std::string ReceiveAll(Socket socket, std::string answer = {}) {
    char buffer[65536];
    for (long got; (got = static_cast<long>(recv(socket, buffer, static_cast<int>(sizeof buffer), 0))) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return answer;
}

// The whole answer to `request`, sent at once.
inline std::string Exchange(int port, const std::string& request) {
    const Socket socket = Connect(port);
    EXPECT_EQ(Send(socket, request), static_cast<long>(request.size()));
    std::string answer = ReceiveAll(socket);
    Close(socket);
    return answer;
}

#if !defined(_WIN32)
// A figure of this process from /proc/self/status ("VmRSS", "Threads").
inline long ProcFigure(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, name.size() + 1, name + ":") == 0) {
            return std::stol(line.substr(name.size() + 1));
        }
    }
    return -1;
}
#endif

// The threads of this process.
inline long ThreadCount() {
#if defined(_WIN32)
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more != FALSE; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
#else
    return ProcFigure("Threads");
#endif
}

// The memory that this process holds, in kB: what is resident on POSIX
// systems, what is committed to it on Windows.
inline long MemoryKb() {
#if defined(_WIN32)
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return static_cast<long>(counters.PrivateUsage / 1024);
#else
    return ProcFigure("VmRSS");
#endif
}

}  // namespace test_support
