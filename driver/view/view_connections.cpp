#include "view/view_connections.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
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

// A connection whose request arrived in the waiting room: its bytes are
// read first, then, where the request goes on (a chunked body), the
// socket, within the same deadline.
class ArrivedStream final : public httplib::Stream {
public:
    explicit ArrivedStream(WatchedServer::Arriving arrived) : arrived_(std::move(arrived)) {}

    bool is_readable() const override {
        return read_ < arrived_.bytes.size() || Ready(arrived_.socket, POLLIN, MillisecondsLeft(arrived_.deadline));
    }
    bool is_writable() const override {
        return Ready(arrived_.socket, POLLOUT, static_cast<int>(WatchedServer::kWriteTime.count() * 1000));
    }
    ssize_t read(char* data, size_t size) override {
        if (read_ < arrived_.bytes.size()) {
            const std::size_t taken = std::min(size, arrived_.bytes.size() - read_);
            std::memcpy(data, arrived_.bytes.data() + read_, taken);
            read_ += taken;
            return static_cast<ssize_t>(taken);
        }
        if (!is_readable()) {
            return -1;
        }
        ssize_t got = 0;
        do {
            got = recv(arrived_.socket, data, size, 0);
        } while (got < 0 && errno == EINTR);
        return got;
    }
    ssize_t write(const char* data, size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        ssize_t sent = 0;
        do {
            sent = send(arrived_.socket, data, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(arrived_.socket, true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(arrived_.socket, false, ip, port); }
    socket_t socket() const override { return arrived_.socket; }

private:
    WatchedServer::Arriving arrived_;
    std::size_t read_ = 0;
};

// The listening thread hands each connection on at once: it is taken into
// the waiting room, never served there.
class HandOn final : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

void CloseSocket(int socket) {
    shutdown(socket, SHUT_RDWR);
    close(socket);
}

// The most of a request's header lines that are waited for; a longer head
// is handed on for the library to refuse.
constexpr std::size_t kMostHead = std::size_t{16} * 1024;

bool SameLetters(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

// The value of the header `lower` (its name in lower case) in `head`, or "".
std::string_view HeaderValue(std::string_view head, std::string_view lower) {
    for (std::size_t at = head.find("\r\n"); at != std::string_view::npos && at + 2 < head.size();) {
        const std::size_t from = at + 2;
        const std::size_t end = std::min(head.find("\r\n", from), head.size());
        const std::string_view line = head.substr(from, end - from);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameLetters(line.substr(0, colon), lower)) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove_prefix(1);
            }
            return value;
        }
        at = end;
    }
    return {};
}

}  // namespace

bool RequestArrived(const std::string& bytes, std::size_t bodyLimit) {
    const std::size_t headEnd = bytes.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        return bytes.size() > kMostHead;
    }
    const std::string_view head(bytes.data(), headEnd);
    if (!HeaderValue(head, "transfer-encoding").empty()) {
        return true;
    }
    const std::string_view length = HeaderValue(head, "content-length");
    std::size_t body = 0;
    for (const char digit : length) {
        if (digit < '0' || digit > '9' || body > bodyLimit) {
            return true;  // the library refuses it
        }
        body = body * 10 + static_cast<std::size_t>(digit - '0');
    }
    return body > bodyLimit || bytes.size() - headEnd - 4 >= body;
}

WatchedServer::WatchedServer() {
    new_task_queue = [] { return new HandOn(); };
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
    // Every waiting connection is a descriptor: as many as the system lets
    // a process have, up to the room's size and the workers'.
    rlimit limit{};
    const rlim_t wanted = 2 * (kMostWaiting + kWorkers + kBacklog);
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(limit.rlim_max, wanted);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_[0] = wake_[1] = -1;
    }
}

WatchedServer::~WatchedServer() {
    for (const int end : wake_) {
        if (end >= 0) {
            close(end);
        }
    }
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
    if (closing_) {
        return;
    }
    workers_ = std::make_unique<httplib::ThreadPool>(kWorkers);
    reader_ = std::thread([this] { ReadWaiting(); });
    listen_after_bind();
    closing_ = true;
    Wake();
    reader_.join();
    workers_->shutdown();
}

void WatchedServer::Wake() {
    if (wake_[1] >= 0) {
        (void)!write(wake_[1], "w", 1);
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
    if (closing_ || wake_[0] < 0) {
        CloseSocket(sock);
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        accepted_.push_back({sock, std::chrono::steady_clock::now() + kRequestTime, {}});
    }
    Wake();
    return true;
}

// The waiting room: one thread reads the requests of every waiting
// connection as their bytes come, hands each that has arrived to a worker,
// and closes each whose time is up.
void WatchedServer::ReadWaiting() {
    std::deque<Arriving> waiting;
    std::vector<pollfd> watched;
    while (!closing_) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            std::move(accepted_.begin(), accepted_.end(), std::back_inserter(waiting));
            accepted_.clear();
        }
        while (waiting.size() > kMostWaiting) {
            CloseSocket(waiting.front().socket);
            waiting.pop_front();
        }
        watched.assign(1, pollfd{wake_[0], POLLIN, 0});
        Clock::time_point next = Clock::time_point::max();
        for (const Arriving& arriving : waiting) {
            watched.push_back({arriving.socket, POLLIN, 0});
            next = std::min(next, arriving.deadline);
        }
        const int ready = poll(watched.data(), watched.size(), waiting.empty() ? -1 : MillisecondsLeft(next) + 1);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        char drained[64];
        while (read(wake_[0], drained, sizeof drained) > 0) {
        }
        std::deque<Arriving> still;
        const Clock::time_point now = Clock::now();
        for (std::size_t k = 0; k < waiting.size(); ++k) {
            Arriving& arriving = waiting[k];
            bool open = true;
            if ((watched[k + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                char buffer[8192];
                const ssize_t got = recv(arriving.socket, buffer, sizeof buffer, MSG_DONTWAIT);
                open = got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
                if (got > 0) {
                    arriving.bytes.append(buffer, static_cast<std::size_t>(got));
                }
            }
            if (open && RequestArrived(arriving.bytes, kMostBody)) {
                workers_->enqueue([this, handed = std::move(arriving)]() mutable { Serve(std::move(handed)); });
            } else if (open && now < arriving.deadline) {
                still.push_back(std::move(arriving));
            } else {
                CloseSocket(arriving.socket);
            }
        }
        waiting.swap(still);
    }
    for (const Arriving& arriving : waiting) {
        CloseSocket(arriving.socket);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const Arriving& arriving : accepted_) {
        CloseSocket(arriving.socket);
    }
    accepted_.clear();
}

void WatchedServer::Serve(Arriving arrived) {
    const int sock = arrived.socket;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) {
            CloseSocket(sock);
            return;
        }
        open_.insert(sock);
    }
    ArrivedStream stream(std::move(arrived));
    bool closed = false;
    process_request(stream, true, closed, [](httplib::Request&) {});
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(sock);
    }
    CloseSocket(sock);
}

void WatchedServer::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (const socket_t sock : open_) {
            shutdown(sock, SHUT_RDWR);
        }
    }
    Wake();
    stop();
}

}  // namespace driver
