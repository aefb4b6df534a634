// Windows sockets: no signal interrupts a call, and a send to a closed
// connection raises none.
#include "view/socket_calls.h"

#include <cstdint>

#include <winsock2.h>
#include <ws2tcpip.h>

#include "wide_text.h"

namespace driver::sockets {

bool Ready(socket_t socket, bool forWriting, int milliseconds) {
    WSAPOLLFD watched{socket, static_cast<SHORT>(forWriting ? POLLOUT : POLLIN), 0};
    return WSAPoll(&watched, 1, milliseconds) > 0;
}

long Receive(socket_t socket, char* data, std::size_t size) { return recv(socket, data, static_cast<int>(size), 0); }

long Send(socket_t socket, const char* data, std::size_t size) { return send(socket, data, static_cast<int>(size), 0); }

// The socket waits for nothing during this one call alone: its worker later
// reads and writes it waiting.
long ReceiveNow(socket_t socket, char* data, std::size_t size) {
    u_long nonBlocking = 1;
    u_long blocking = 0;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    const long got = Receive(socket, data, size);
    const int error = WSAGetLastError();
    ioctlsocket(socket, FIONBIO, &blocking);
    WSASetLastError(error);
    return got;
}

long SendNow(socket_t socket, const char* data, std::size_t size) {
    u_long nonBlocking = 1;
    u_long blocking = 0;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    const long sent = Send(socket, data, size);
    ioctlsocket(socket, FIONBIO, &blocking);
    return sent;
}

bool MeansNothingYet(int error) { return error == WSAEWOULDBLOCK || error == WSAEINTR; }

bool WaitToRead(std::vector<Watched>& watched, int milliseconds) {
    thread_local std::vector<WSAPOLLFD> polled;
    polled.clear();
    for (const Watched& one : watched) {
        polled.push_back({one.socket, POLLIN, 0});
    }
    const int ready = WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), milliseconds);
    for (std::size_t k = 0; k < watched.size(); ++k) {
        watched[k].ready = ready > 0 && (polled[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
    return ready != SOCKET_ERROR;
}

// A datagram socket connected to itself takes only its own datagrams; it
// never waits (FIONBIO), so that a full queue of rings drops the next one
// and Silence ends when the queue is empty.
Alarm::Alarm() {
    const SOCKET self = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (self == INVALID_SOCKET) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    u_long nonBlocking = 1;
    if (bind(self, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(self, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        connect(self, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ioctlsocket(self, FIONBIO, &nonBlocking) != 0) {
        closesocket(self);
        return;
    }
    ends_[0] = ends_[1] = self;
}

Alarm::~Alarm() {
    if (ends_[0] != INVALID_SOCKET) {
        closesocket(ends_[0]);
    }
}

void Alarm::Ring() {
    if (ends_[1] != INVALID_SOCKET) {
        send(ends_[1], "w", 1, 0);
    }
}

void Alarm::Silence() {
    char drained[64];
    while (ends_[0] != INVALID_SOCKET && recv(ends_[0], drained, sizeof drained, 0) > 0) {
    }
}

// Windows counts no sockets against a limit of the process.
void AllowSockets(std::size_t /*count*/) {}

void EndAddress(socket_t socket, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    int size = sizeof(address);
    if ((peer ? getpeername : getsockname)(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

// SO_REUSEADDR on Windows would let another program take the port over.
void ListenAlone(socket_t socket) {
    const BOOL yes = TRUE;
    const auto* option = reinterpret_cast<const char*>(&yes);
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, option, sizeof(yes));
    setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, option, sizeof(yes));
}

// Windows keeps the queue of the first listen: the build gives the library
// the same one (CPPHTTPLIB_LISTEN_BACKLOG).
void Listen(socket_t socket, int backlog) { ::listen(socket, backlog); }

void ShutDown(socket_t socket) { shutdown(socket, SD_BOTH); }

void Close(socket_t socket) { closesocket(socket); }

int LastError() { return WSAGetLastError(); }

std::string ErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L'.')) {
        wide.pop_back();
    }
    return wide.empty() ? "error " + std::to_string(error) : safewrite::Utf8Text(wide);
}

bool MeansNoIpv6(int error) { return error == WSAEADDRNOTAVAIL || error == WSAEAFNOSUPPORT; }

int Ipv6LoopbackRefusal(int port) {
    const SOCKET probe = socket(AF_INET6, SOCK_STREAM, 0);
    if (probe == INVALID_SOCKET) {
        return WSAGetLastError();
    }
    ListenAlone(probe);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    const int refusal =
        bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ? 0 : WSAGetLastError();
    closesocket(probe);
    return refusal;
}

}  // namespace driver::sockets
