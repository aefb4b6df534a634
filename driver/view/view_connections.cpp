#include "view/view_connections.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// A connection whose request arrived in the waiting room: its bytes are
// read first, then, where the request goes on (a chunked body), the
// socket, within the same deadline.
class ArrivedStream final : public httplib::Stream {
public:
    explicit ArrivedStream(WatchedServer::Arriving arrived) : arrived_(std::move(arrived)) {}

    bool is_readable() const override {
        return read_ < arrived_.bytes.size() ||
               sockets::Ready(arrived_.socket, false, MillisecondsLeft(arrived_.deadline));
    }
    bool is_writable() const override {
        return sockets::Ready(arrived_.socket, true, static_cast<int>(WatchedServer::kWriteTime.count() * 1000));
    }
    ssize_t read(char* data, size_t size) override {
        if (read_ < arrived_.bytes.size()) {
            const std::size_t taken = std::min(size, arrived_.bytes.size() - read_);
            std::memcpy(data, arrived_.bytes.data() + read_, taken);
            read_ += taken;
            return static_cast<ssize_t>(taken);
        }
        return is_readable() ? static_cast<ssize_t>(sockets::Receive(arrived_.socket, data, size)) : -1;
    }
    ssize_t write(const char* data, size_t size) override {
        return is_writable() ? static_cast<ssize_t>(sockets::Send(arrived_.socket, data, size)) : -1;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockets::EndAddress(arrived_.socket, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockets::EndAddress(arrived_.socket, false, ip, port);
    }
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

void CloseSocket(socket_t socket) {
    sockets::ShutDown(socket);
    sockets::Close(socket);
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
        sockets::ListenAlone(socket);
        listening_ = socket;
    });
    // Every waiting connection is a socket: as many as the system lets a
    // process have, up to the room's size and the workers' (both servers').
    sockets::AllowSockets(2 * (kMostWaiting + kWorkers + kBacklog));
}

WatchedServer::~WatchedServer() = default;

int WatchedServer::BindExclusive(const std::string& host, int port, int& error) {
    listening_ = INVALID_SOCKET;
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    error = sockets::LastError();
    if (bound <= 0) {
        return -1;
    }
    // The library listens with a queue of 5; a burst of connections would
    // find the rest refused.
    sockets::Listen(listening_, kBacklog);
    return bound;
}

void WatchedServer::Unbind() {
    if (listening_ != INVALID_SOCKET) {
        sockets::Close(listening_);
        listening_ = INVALID_SOCKET;
    }
}

void WatchedServer::Listen() {
    if (closing_) {
        return;
    }
    workers_ = std::make_unique<WorkerPool>(kWorkers);
    reader_ = std::thread([this] { ReadWaiting(); });
    listen_after_bind();
    closing_ = true;
    wake_.Ring();
    reader_.join();
    workers_->Finish();
}

bool WatchedServer::process_and_close_socket(socket_t sock) {
    if (closing_ || !wake_.Made()) {
        CloseSocket(sock);
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        accepted_.push_back({sock, std::chrono::steady_clock::now() + kRequestTime, {}});
    }
    wake_.Ring();
    return true;
}

// The waiting room: one thread reads the requests of every waiting
// connection as their bytes come, hands each that has arrived to a worker,
// and closes each whose time is up.
void WatchedServer::ReadWaiting() {
    std::deque<Arriving> waiting;
    std::vector<sockets::Watched> watched;
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
        watched.assign(1, sockets::Watched{wake_.Socket()});
        Clock::time_point next = Clock::time_point::max();
        for (const Arriving& arriving : waiting) {
            watched.push_back({arriving.socket});
            next = std::min(next, arriving.deadline);
        }
        if (!sockets::WaitToRead(watched, waiting.empty() ? -1 : MillisecondsLeft(next) + 1)) {
            break;
        }
        wake_.Silence();
        std::deque<Arriving> still;
        const Clock::time_point now = Clock::now();
        for (std::size_t k = 0; k < waiting.size(); ++k) {
            Arriving& arriving = waiting[k];
            bool open = true;
            if (watched[k + 1].ready) {
                char buffer[8192];
                const long got = sockets::ReceiveNow(arriving.socket, buffer, sizeof buffer);
                open = got > 0 || (got < 0 && sockets::MeansNothingYet(sockets::LastError()));
                if (got > 0) {
                    arriving.bytes.append(buffer, static_cast<std::size_t>(got));
                }
            }
            if (open && RequestArrived(arriving.bytes, kMostBody)) {
                const socket_t sock = arriving.socket;
                if (!workers_->Enqueue([this, handed = std::move(arriving)]() mutable { Serve(std::move(handed)); })) {
                    CloseSocket(sock);
                }
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
    const socket_t sock = arrived.socket;
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
            sockets::ShutDown(sock);
        }
    }
    wake_.Ring();
    stop();
}

}  // namespace driver
