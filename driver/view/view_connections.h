#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

namespace driver {

// The viewer's HTTP server with connections that no client can hold: a
// request must arrive whole within a few seconds of the connection (a
// client that sends a header line now and then is cut off), an answer is
// written at a pace the client keeps up with or the connection ends, and
// Close() ends every connection at once, so that the server stops within
// a moment whatever is connected. One request a connection.
class WatchedServer : public httplib::Server {
public:
    static constexpr std::chrono::seconds kRequestTime{4};
    static constexpr std::chrono::seconds kWriteTime{10};  // for each part of an answer
    static constexpr int kWorkers = 256;
    static constexpr int kBacklog = 512;

    WatchedServer();
    // Ends every connection, and those still waiting for a worker as they
    // come; then stops the server. Any thread may call it.
    void Close();

    // Binds `host` at `port` (0: one the system chooses) alone: no other
    // program may listen there too. The port, or -1 with `error`
    // (sockets::LastError).
    int BindExclusive(const std::string& host, int port, int& error);
    // Gives up the address bound last.
    void Unbind();
    // Serves until Close(); at once when Close() came first.
    void Listen();

private:
    bool process_and_close_socket(socket_t sock) override;

    std::mutex mutex_;
    std::set<socket_t> open_;
    std::atomic<bool> closing_{false};
    socket_t listening_ = INVALID_SOCKET;  // the last socket made by bind
};

}  // namespace driver
