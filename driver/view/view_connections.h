#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "view/arriving_request.h"
#include "view/socket_calls.h"
#include "view/worker_pool.h"

namespace driver {

// The viewer's HTTP server with connections that no client can hold: a
// request must arrive whole within a few seconds of the connection's
// acceptance; until it has, the connection waits in a room that one thread
// reads for all of them, and there the request's head is let in or refused
// before any of its body is read, and the body that is let in is read to
// its bound. Workers serve only whole requests that were let in, so that
// idle, slow or refused connections, however many, hold no worker and
// delay no other request. An answer is written as fast as its reader takes
// it; only a reader that takes nothing for long is cut off. Close() ends
// every connection at once, so that the server stops within a moment
// whatever is connected. One request a connection.
class WatchedServer : public httplib::Server {
public:
    static constexpr std::chrono::seconds kRequestTime{4};
    // An answer's reader may pause (a browser busy with what came before)
    // for this long before the connection ends.
    static constexpr std::chrono::seconds kStalledTime{300};
    static constexpr int kWorkers = 256;  // at most, started as requests come
    static constexpr int kBacklog = 512;
    // The largest request body taken (a larger one is refused, 413).
    static constexpr std::size_t kMostBody = std::size_t{64} * 1024;
    // Connections whose requests are still arriving; beyond, the one that
    // has waited longest is closed.
    static constexpr std::size_t kMostWaiting = 4096;

    WatchedServer();
    ~WatchedServer() override;
    WatchedServer(const WatchedServer&) = delete;
    WatchedServer& operator=(const WatchedServer&) = delete;
    // Ends every connection, and those still waiting for their requests as
    // they come; then stops the server. Any thread may call it.
    void Close();
    // What lets a request in, by its head; until it is given, none is.
    void SetAdmission(HeadAdmission admission) { admission_ = std::move(admission); }

    // Binds `host` at `port` (0: one the system chooses) alone: no other
    // program may listen there too. The port, or -1 with `error`
    // (sockets::LastError).
    int BindExclusive(const std::string& host, int port, int& error);
    // Gives up the address bound last.
    void Unbind();
    // Serves until Close(); at once when Close() came first.
    void Listen();

    // A connection whose request is arriving: its bytes so far, and when
    // its time is up (counted from its acceptance).
    struct Arriving {
        socket_t socket = INVALID_SOCKET;
        std::chrono::steady_clock::time_point deadline;
        ArrivingRequest request{kMostBody};
    };

private:
    // Called on the listening thread as each connection is accepted: it
    // goes into the waiting room.
    bool process_and_close_socket(socket_t sock) override;
    void ReadWaiting();
    // Reads what has come on a waiting connection; false once it has left
    // the room (handed to a worker, or refused and closed).
    bool ReadArriving(Arriving& arriving);
    void Serve(Arriving arrived);

    std::mutex mutex_;
    std::deque<Arriving> accepted_;  // for the reading thread to take
    std::set<socket_t> open_;        // being served
    std::atomic<bool> closing_{false};
    sockets::Alarm wake_;  // wakes the reading thread
    std::unique_ptr<WorkerPool> workers_;
    std::thread reader_;
    socket_t listening_ = INVALID_SOCKET;  // the last socket made by bind
    HeadAdmission admission_ = [](const RequestHead&) { return false; };
};

}  // namespace driver
