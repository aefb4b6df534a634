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

// A connection whose request arrived whole in the waiting room: the
// request is read from its bytes alone (after them, nothing more comes),
// and the answer written to the socket as its reader takes it.
class ArrivedStream final : public httplib::Stream {
public:
    explicit ArrivedStream(WatchedServer::Arriving arrived) : arrived_(std::move(arrived)) {}

    bool is_readable() const override { return read_ < arrived_.request.Bytes().size(); }
    bool is_writable() const override {
        return sockets::Ready(arrived_.socket, true, static_cast<int>(WatchedServer::kStalledTime.count() * 1000));
    }
    ssize_t read(char* data, size_t size) override {
        const std::string& bytes = arrived_.request.Bytes();
        const std::size_t taken = std::min(size, bytes.size() - read_);
        std::copy_n(bytes.data() + read_, taken, data);
        read_ += taken;
        return static_cast<ssize_t>(taken);
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

}  // namespace

WatchedServer::WatchedServer() {
    new_task_queue = [] { return new HandOn(); };
    set_read_timeout(kRequestTime.count());
    set_write_timeout(kStalledTime.count());
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
        accepted_.push_back(Arriving{sock, std::chrono::steady_clock::now() + kRequestTime});
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
            if (watched[k + 1].ready && !ReadArriving(arriving)) {
                continue;
            }
            if (now < arriving.deadline) {
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

bool WatchedServer::ReadArriving(Arriving& arriving) {
    char buffer[8192];
    const long got = sockets::ReceiveNow(arriving.socket, buffer, std::min(sizeof buffer, arriving.request.Wanted()));
    if (got <= 0) {
        if (got == 0 || !sockets::MeansNothingYet(sockets::LastError())) {
            CloseSocket(arriving.socket);
            return false;
        }
        return true;
    }
    ArrivingRequest& request = arriving.request;
    const ArrivingRequest::Stage stage = request.Take({buffer, static_cast<std::size_t>(got)}, admission_);
    if (stage == ArrivingRequest::Stage::Refused) {
        // A short answer into an empty send buffer: it never waits.
        const std::string answer = RefusalAnswer(request.Status(), request.Why());
        sockets::SendNow(arriving.socket, answer.data(), answer.size());
        CloseSocket(arriving.socket);
        return false;
    }
    if (request.OwesContinue()) {
        const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
        sockets::SendNow(arriving.socket, interim.data(), interim.size());
        request.ContinueSent();
    }
    if (stage != ArrivingRequest::Stage::Whole) {
        return true;
    }
    const socket_t sock = arriving.socket;
    if (!workers_->Enqueue([this, handed = std::move(arriving)]() mutable { Serve(std::move(handed)); })) {
        CloseSocket(sock);
    }
    return false;
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
