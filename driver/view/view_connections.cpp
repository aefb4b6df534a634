#include "view/view_connections.h"

#include <cerrno>
#include <cstdint>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

bool Ready(int socket, short events, int milliseconds) {
    pollfd watched{socket, events, 0};
    int ready = 0;
    do {
        ready = poll(&watched, 1, milliseconds);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void Address(int socket, bool peer, std::string& ip, int& port) {
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

// A connection whose reads share one deadline: the whole request.
class DeadlineStream final : public httplib::Stream {
public:
    explicit DeadlineStream(int socket) : socket_(socket), deadline_(Clock::now() + WatchedServer::kRequestTime) {}

    bool is_readable() const override { return Ready(socket_, POLLIN, MillisecondsLeft(deadline_)); }
    bool is_writable() const override {
        return Ready(socket_, POLLOUT, static_cast<int>(WatchedServer::kWriteTime.count() * 1000));
    }
    ssize_t read(char* data, size_t size) override {
        if (!is_readable()) {
            return -1;
        }
        ssize_t got = 0;
        do {
            got = recv(socket_, data, size, 0);
        } while (got < 0 && errno == EINTR);
        return got;
    }
    ssize_t write(const char* data, size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        ssize_t sent = 0;
        do {
            sent = send(socket_, data, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(socket_, true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(socket_, false, ip, port); }
    socket_t socket() const override { return socket_; }

private:
    int socket_;
    Clock::time_point deadline_;
};

}  // namespace

WatchedServer::WatchedServer() {
    new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    set_read_timeout(kRequestTime.count());
    set_write_timeout(kWriteTime.count());
    set_keep_alive_max_count(1);
    // The library's own options would let a second program listen on the
    // same port (SO_REUSEPORT) and share the requests.
    set_socket_options([this](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof(yes));
        listening_ = socket;
    });
}

int WatchedServer::BindExclusive(const std::string& host, int port, int& error) {
    listening_ = -1;
    errno = 0;
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    error = errno;
    if (bound <= 0) {
        return -1;
    }
    // The library listens with a queue of 5; a burst of connections would
    // find the rest refused.
    ::listen(listening_, kBacklog);
    return bound;
}

void WatchedServer::Unbind() {
    if (listening_ >= 0) {
        close(listening_);
        listening_ = -1;
    }
}

void WatchedServer::Listen() {
    if (!closing_) {
        listen_after_bind();
    }
}

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

bool WatchedServer::process_and_close_socket(socket_t sock) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!closing_) {
            open_.insert(sock);
        }
    }
    bool served = false;
    if (!closing_) {
        DeadlineStream stream(sock);
        bool closed = false;
        served = process_request(stream, true, closed, [](httplib::Request&) {});
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(sock);
    }
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return served;
}

void WatchedServer::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (const socket_t sock : open_) {
            shutdown(sock, SHUT_RDWR);
        }
    }
    stop();
}

}  // namespace driver
