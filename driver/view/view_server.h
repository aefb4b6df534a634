#pragma once

#include <memory>
#include <optional>
#include <string>

#include "text/refusal.h"
#include "view/view_folders.h"
#include "view/view_session.h"

namespace driver {

// The viewer's web server on 127.0.0.1 and ::1: the page, the scene's files
// and the API of docs/viewer.md, each request let in by the guard. Requests
// are served one at a time on the session.
class ViewServer {
public:
    // The scene's files are served from the folders the session reaches.
    ViewServer(ViewSession& session, const std::string& pageDirectory);
    ~ViewServer();
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Binds 127.0.0.1 and ::1 at `port` (0: one the system chooses), each
    // alone; none when both are bound (or ::1 is not there: a system
    // without IPv6), else why not (NoPort, one line).
    [[nodiscard]] std::optional<Refusal> Bind(int port);
    // The page's address with the token, which the page keeps and takes
    // out of the address bar; the address without it, and the token alone.
    std::string Address() const;
    std::string Origin() const;
    std::string Token() const;
    // Serves until Stop() or the page's Quit. The API's requests run on the
    // calling thread, which should be the one that made the session.
    void Serve();
    // May be called from any thread; returns at once.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace driver
