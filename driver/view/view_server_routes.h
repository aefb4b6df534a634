#pragma once

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "view/session_thread.h"
#include "view/view_files.h"
#include "view/view_session.h"

namespace driver {

// What the viewer's server answers, one route a row of a table (its method
// and path, whether it needs the token, the largest body it takes, the
// thread it runs on and its handler), and the answers themselves.
class ViewRoutes {
public:
    // `nonce` lets the page's import map in (its Content-Security-Policy).
    ViewRoutes(ViewSession& session, const std::string& pageDirectory, std::string nonce);

    // Whether a request of `method` for `path` may come without the token:
    // the page's own files, which hold nothing of the user's.
    bool OpenToAll(const std::string& method, const std::string& path) const;
    // Answers an admitted request by its route's row; the session's work
    // runs on `sessionThread`.
    void Answer(const httplib::Request& request, httplib::Response& response, SessionThread& sessionThread);
    // The page's Quit was answered: the server is to stop.
    bool Quitting() const { return quitting_; }

private:
    struct Route;
    static const Route kRoutes[];
    static const Route kFile;      // a GET of any other path: a served file
    static const Route kNotFound;  // anything else

    void Page(const httplib::Request&, httplib::Response& response);
    void State(const httplib::Request&, httplib::Response& response);
    void SessionText(const httplib::Request&, httplib::Response& response);
    void SessionArchive(const httplib::Request&, httplib::Response& response);
    void DialogFiles(const httplib::Request& request, httplib::Response& response);
    void Scene(const httplib::Request&, httplib::Response& response);
    void File(const httplib::Request& request, httplib::Response& response);
    void NotFound(const httplib::Request&, httplib::Response& response);
    void Act(const httplib::Request& request, httplib::Response& response);
    void SelectName(const httplib::Request& request, httplib::Response& response);
    void Undo(const httplib::Request&, httplib::Response& response);
    void Redo(const httplib::Request&, httplib::Response& response);
    void Save(const httplib::Request& request, httplib::Response& response);
    void Quit(const httplib::Request& request, httplib::Response& response);

    static const Route& RouteOf(const std::string& method, const std::string& path);

    ViewSession& session_;
    ViewFiles files_;
    std::string pageDirectory_;
    std::string nonce_;
    std::atomic<bool> quitting_{false};
};

}  // namespace driver
