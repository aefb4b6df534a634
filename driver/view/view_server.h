#pragma once

#include <functional>
#include <memory>
#include <string>

#include "view/view_files.h"
#include "view/view_guard.h"
#include "view/view_session.h"

namespace driver {

// The viewer's web server on 127.0.0.1 and ::1: the page, the scene's files and
// the API of docs/viewer.md, each request let in by the guard. Requests
// are served one at a time on the session.
class ViewServer {
public:
    ViewServer(ViewSession& session, std::string pageDirectory);
    ~ViewServer();
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Binds 127.0.0.1 at `port` (0: one the system chooses), and ::1 at the
    // same port where it can be; the port, or -1 when 127.0.0.1 cannot be
    // bound.
    int Bind(int port);
    // The page's address with the token.
    std::string Address() const;
    // Serves until Stop() or the page's Quit.
    void Serve();
    // May be called from any thread.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace driver
