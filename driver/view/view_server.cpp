#include "view/view_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "files/input_file.h"
#include "files/output_file.h"
#include "files/source_bytes.h"
#include "session/session.h"
#include "view/view_json.h"

namespace driver {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024;
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxLines = 256;

bool LinesBounded(const std::string& body) {
    std::size_t lines = 0;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('\n', start);
        end = end == std::string::npos ? body.size() : end;
        if (end - start > kMaxLine || ++lines > kMaxLines) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

void Answer(httplib::Response& response, int status, const std::string& body, const std::string& type) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(body, type.c_str());
}

// Sends `content` in pieces as they are made (or the range asked for), so
// that a large scene is never held whole.
void AnswerInPieces(httplib::Response& response, FileContent content, const std::string& type) {
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    const auto size = static_cast<std::size_t>(content.Size());
    response.set_content_provider(size, type, [content](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        std::size_t at = 0;
        const std::size_t end = offset + length;
        const safewrite::Error error = content.EachPiece([&](std::string_view piece) {
            const std::size_t from = std::max(at, offset) - at;
            const std::size_t to = std::min(at + piece.size(), end) - at;
            at += piece.size();
            if (from < to && !sink.write(piece.data() + from, to - from)) {
                return safewrite::Error::Io;
            }
            return at < end ? safewrite::Error::None : safewrite::Error::Other;  // Other: all sent
        });
        return at >= end && (error == safewrite::Error::None || error == safewrite::Error::Other);
    });
}

void AnswerJson(httplib::Response& response, const std::string& json) {
    Answer(response, 200, json, "application/json");
}

void AnswerError(httplib::Response& response, int status, const std::string& message) {
    Answer(response, status, "{\"error\":" + JsonText(message) + "}", "application/json");
}

}  // namespace

struct ViewServer::Impl {
    ViewSession& session;
    ViewFiles files;
    std::unique_ptr<ViewGuard> guard;
    // cpp-httplib listens on one address a server: ::1 has a second one,
    // with the same handlers, on the same port.
    httplib::Server server;
    httplib::Server serverOnIpv6;
    bool ipv6 = false;  // ::1 is bound
    std::mutex mutex;  // one request at a time on the session and the plug-ins
    std::string pageDirectory;

    Impl(ViewSession& s, const std::string& page)
        : session(s), files(page, s.ScenePath(), s.ReferencedFiles()), pageDirectory(page) {}

    int Admit(const httplib::Request& request, std::string& route) const {
        RequestFacts facts;
        facts.method = request.method;
        facts.path = request.path;
        facts.queryToken = request.has_param("token") ? request.get_param_value("token") : "";
        facts.authorization = request.get_header_value("Authorization");
        facts.host = request.get_header_value("Host");
        facts.origin = request.get_header_value("Origin");
        return guard->Admit(facts, route);
    }

    void Get(const std::string& route, httplib::Response& response);
    void Post(const std::string& route, const httplib::Request& request, httplib::Response& response);
    void Page(httplib::Response& response);
    void State(httplib::Response& response);
    void Save(const std::string& path, httplib::Response& response);
    void Install(httplib::Server& on);
    void StopAll() {
        server.stop();
        serverOnIpv6.stop();
    }
};

void ViewServer::Impl::Page(httplib::Response& response) {
    std::string page = ReadInputFile(pageDirectory + "/index.html");
    const std::string base = "<base href=\"./\">";
    const std::size_t at = page.find(base);
    if (at != std::string::npos) {
        // Every URL of the page, its module imports too, then carries the token.
        page.replace(at, base.size(), "<base href=\"/t/" + guard->Token() + "/\">");
    }
    Answer(response, 200, page, "text/html; charset=utf-8");
}

void ViewServer::Impl::State(httplib::Response& response) {
    const std::string state = ViewStateJson(session.Whole());
    AnswerJson(response, "{\"format\":" + JsonText(session.FormatName()) + ",\"scene\":" +
                             JsonText(files.SceneRoute()) + ",\"output\":" + JsonText(session.OutputPath()) +
                             ",\"session\":" + JsonText(session.SessionText()) + "," + state.substr(1));
}

void ViewServer::Impl::Get(const std::string& route, httplib::Response& response) {
    if (route == "/" || route == "/index.html") {
        return Page(response);
    }
    if (route == "/api/state") {
        return State(response);
    }
    if (route == "/api/session") {
        return Answer(response, 200, session.SessionText(), "text/plain; charset=utf-8");
    }
    if (route == "/api/scene") {
        return AnswerInPieces(response, session.SceneContent(), ContentTypeOf(session.ScenePath()));
    }
    const std::string file = files.Find(route);
    if (file.empty()) {
        return AnswerError(response, 404, "not found");
    }
    const SourceBytes bytes = SourceBytes::OfFile(file);
    FileContent content;
    bytes.AddTo(content, 0, bytes.Size());
    AnswerInPieces(response, std::move(content), ContentTypeOf(file));
}

void ViewServer::Impl::Save(const std::string& path, httplib::Response& response) {
    if (!path.empty()) {
        session.SetOutputPath(path);
    }
    if (session.OutputPath().empty()) {
        return AnswerError(response, 409, "no file to save to: give its path");
    }
    // As a session's run writes nothing when it is not done, so that the
    // session downloaded always replays to the file saved.
    if (!session.Failure().empty()) {
        return AnswerError(response, 409, "not saved: the session is not done: " + session.Failure() +
                                              " (undo what failed)");
    }
    const std::string inPlace = session.Save();
    AnswerJson(response, "{\"written\":" + JsonText(session.OutputPath()) +
                             (inPlace.empty() ? "" : ",\"inPlace\":" + JsonText(inPlace)) + "}");
}

void ViewServer::Impl::Post(const std::string& route, const httplib::Request& request,
                            httplib::Response& response) {
    if (route == "/api/actions") {
        if (!LinesBounded(request.body)) {
            return AnswerError(response, 413, "too many session lines, or a line too long");
        }
        return AnswerJson(response, ViewStateJson(session.Apply(request.body)));
    }
    if (route == "/api/undo" || route == "/api/redo") {
        return AnswerJson(response, ViewStateJson(route == "/api/undo" ? session.Undo() : session.Redo()));
    }
    if (route == "/api/save") {
        return Save(request.body, response);
    }
    if (route == "/api/quit") {
        AnswerJson(response, "{}");
        StopAll();
        return;
    }
    AnswerError(response, 404, "not found");
}

void ViewServer::Impl::Install(httplib::Server& on) {
    Impl& impl = *this;
    on.set_payload_max_length(kMaxBody);
    // One request a connection: an idle connection that a browser keeps
    // open would hold one of the server's few threads for seconds, delaying
    // the page's next requests and the end of the server after Quit.
    on.set_keep_alive_max_count(1);
    on.set_keep_alive_timeout(1);
    on.set_pre_routing_handler([&impl](const httplib::Request& request, httplib::Response& response) {
        // No compression: on loopback it only costs time, and the library
        // would choose Brotli at its slowest setting (seconds for three.js
        // or the state of a large scene). The request is the server's own,
        // handed to this hook as const.
        const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
        std::string route;
        if (impl.Admit(request, route) != 0) {
            AnswerError(response, 403, "forbidden");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto handle = [&impl](const httplib::Request& request, httplib::Response& response) {
        std::string route;
        impl.Admit(request, route);
        const std::lock_guard<std::mutex> lock(impl.mutex);
        try {
            if (request.method == "POST") {
                impl.Post(route, request, response);
            } else {
                impl.Get(route, response);
            }
        } catch (const std::exception& e) {
            AnswerError(response, 409, e.what());
        }
    };
    on.Get(".*", handle);
    on.Post(".*", handle);
}

ViewServer::ViewServer(ViewSession& session, std::string pageDirectory)
    : impl_(std::make_unique<Impl>(session, pageDirectory)) {
    impl_->Install(impl_->server);
    impl_->Install(impl_->serverOnIpv6);
}

ViewServer::~ViewServer() = default;

int ViewServer::Bind(int port) {
    Impl& impl = *impl_;
    if (port == 0) {
        port = impl.server.bind_to_any_port("127.0.0.1");
    } else if (!impl.server.bind_to_port("127.0.0.1", port)) {
        port = -1;
    }
    if (port > 0) {
        // Not every system has IPv6: then 127.0.0.1 alone is served.
        impl.ipv6 = impl.serverOnIpv6.bind_to_port("::1", port);
        impl.guard = std::make_unique<ViewGuard>(NewToken(), port);
    }
    return port;
}

std::string ViewServer::Address() const { return impl_->guard->Origin() + "/?token=" + impl_->guard->Token(); }

void ViewServer::Serve() {
    Impl& impl = *impl_;
    std::atomic<bool> ipv6Ended{!impl.ipv6};
    std::thread ipv6;
    if (impl.ipv6) {
        ipv6 = std::thread([&impl, &ipv6Ended] {
            impl.serverOnIpv6.listen_after_bind();
            ipv6Ended = true;
        });
    }
    impl.server.listen_after_bind();
    // A stop that came before the second server ran would be lost.
    while (!ipv6Ended) {
        impl.serverOnIpv6.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ipv6.joinable()) {
        ipv6.join();
    }
}

void ViewServer::Stop() { impl_->StopAll(); }

}  // namespace driver
