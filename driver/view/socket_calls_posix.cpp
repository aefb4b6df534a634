#include "view/socket_calls.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <netinet/in.h>
#include <poll.h>
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
