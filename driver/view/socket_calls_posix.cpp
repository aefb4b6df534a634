#include "view/socket_calls.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

namespace driver::sockets {

bool Ready(socket_t socket, bool forWriting, int milliseconds) {
    pollfd watched{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    int ready = 0;
    do {
        ready = poll(&watched, 1, milliseconds);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

long Receive(socket_t socket, char* data, std::size_t size) {
    ssize_t got = 0;
    do {
        got = recv(socket, data, size, 0);
    } while (got < 0 && errno == EINTR);
    return got;
}

long Send(socket_t socket, const char* data, std::size_t size) {
    ssize_t sent = 0;
    do {
        sent = send(socket, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

long ReceiveNow(socket_t socket, char* data, std::size_t size) { return recv(socket, data, size, MSG_DONTWAIT); }

long SendNow(socket_t socket, const char* data, std::size_t size) {
    return send(socket, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
}

bool MeansNothingYet(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

bool WaitToRead(std::vector<Watched>& watched, int milliseconds) {
    thread_local std::vector<pollfd> polled;
    polled.clear();
    for (const Watched& one : watched) {
        polled.push_back({one.socket, POLLIN, 0});
    }
    const int ready = poll(polled.data(), polled.size(), milliseconds);
    for (std::size_t k = 0; k < watched.size(); ++k) {
        watched[k].ready = ready > 0 && (polled[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
    return ready >= 0 || errno == EINTR;
}

Alarm::Alarm() {
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        ends_[0] = ends[0];
        ends_[1] = ends[1];
    }
}

Alarm::~Alarm() {
    for (const int end : ends_) {
        if (end >= 0) {
            close(end);
        }
    }
}

void Alarm::Ring() {
    if (ends_[1] >= 0) {
        (void)!write(ends_[1], "w", 1);
    }
}

void Alarm::Silence() {
    char drained[64];
    while (ends_[0] >= 0 && read(ends_[0], drained, sizeof drained) > 0) {
    }
}

void AllowSockets(std::size_t count) {
    rlimit limit{};
    const auto wanted = static_cast<rlim_t>(count);
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(limit.rlim_max, wanted);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void EndAddress(socket_t socket, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t size = sizeof(address);
    if ((peer ? getpeername : getsockname)(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

void ListenAlone(socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof(yes));
}

void Listen(socket_t socket, int backlog) { ::listen(socket, backlog); }

void ShutDown(socket_t socket) { shutdown(socket, SHUT_RDWR); }

void Close(socket_t socket) { close(socket); }

int LastError() { return errno; }

std::string ErrorText(int error) { return std::strerror(error); }

bool MeansNoIpv6(int error) { return error == EADDRNOTAVAIL || error == EAFNOSUPPORT; }

int Ipv6LoopbackRefusal(int port) {
    const int probe = socket(AF_INET6, SOCK_STREAM, 0);
    if (probe < 0) {
        return errno;
    }
    const int yes = 1;
    setsockopt(probe, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof(yes));
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    const int refusal = bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ? 0 : errno;
    close(probe);
    return refusal;
}

}  // namespace driver::sockets
