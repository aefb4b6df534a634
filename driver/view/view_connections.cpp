#include "view/view_connections.h"

#include "view/socket_calls.h"

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// A connection whose reads share one deadline: the whole request.
class DeadlineStream final : public httplib::Stream {
public:
    explicit DeadlineStream(socket_t socket) : socket_(socket), deadline_(Clock::now() + WatchedServer::kRequestTime) {}

    bool is_readable() const override { return sockets::Ready(socket_, false, MillisecondsLeft(deadline_)); }
    bool is_writable() const override {
        return sockets::Ready(socket_, true, static_cast<int>(WatchedServer::kWriteTime.count() * 1000));
    }
    ssize_t read(char* data, size_t size) override {
        return is_readable() ? static_cast<ssize_t>(sockets::Receive(socket_, data, size)) : -1;
    }
    ssize_t write(const char* data, size_t size) override {
        return is_writable() ? static_cast<ssize_t>(sockets::Send(socket_, data, size)) : -1;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockets::EndAddress(socket_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockets::EndAddress(socket_, false, ip, port);
    }
    socket_t socket() const override { return socket_; }

private:
    socket_t socket_;
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
        sockets::ListenAlone(socket);
        listening_ = socket;
    });
}

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
    if (!closing_) {
        listen_after_bind();
    }
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
    sockets::ShutDown(sock);
    sockets::Close(sock);
    return served;
}

void WatchedServer::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        for (const socket_t sock : open_) {
            sockets::ShutDown(sock);
        }
    }
    stop();
}

}  // namespace driver
