#include "view/view_server.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "text/refusal.h"
#include "view/session_thread.h"
#include "view/socket_calls.h"
#include "view/view_answers.h"
#include "view/view_connections.h"
#include "view/view_guard.h"
#include "view/view_server_routes.h"

namespace driver {

struct ViewServer::Impl {
    const std::string nonce;
    ViewRoutes routes;
    std::unique_ptr<ViewGuard> guard;
    // cpp-httplib listens on one address a server: ::1 has a second one,
    // with the same handlers, on the same port.
    WatchedServer server;
    WatchedServer serverOnIpv6;
    bool ipv6 = false;                  // ::1 is bound
    SessionThread sessionThread;        // one request at a time on the session and the plug-ins
    std::atomic<bool> stopping{false};  // Stop() was called

    Impl(ViewSession& session, const std::string& page) : nonce(NewToken()), routes(session, page, nonce) {}

    // In the waiting room, on the head as sent; again by the library's
    // reading of it, before any handler.
    bool AdmitsHead(const RequestHead& head) const {
        const std::string path = head.target.substr(0, head.target.find('?'));
        return guard->Admits(
            {head.method, routes.OpenToAll(head.method, path), head.authorization, head.host, head.origin});
    }
    bool Admits(const httplib::Request& request) const {
        return guard->Admits({request.method, routes.OpenToAll(request.method, request.path),
                              request.get_header_value("Authorization"), request.get_header_value("Host"),
                              request.get_header_value("Origin")});
    }
    void Answer(const httplib::Request& request, httplib::Response& response) {
        routes.Answer(request, response, sessionThread);
    }
    void Install(WatchedServer& on);
    void StopAll() {
        server.Close();
        serverOnIpv6.Close();
    }
};

void ViewServer::Impl::Install(WatchedServer& on) {
    Impl& impl = *this;
    on.set_payload_max_length(WatchedServer::kMostBody);
    on.set_default_headers(SecurityHeaders(nonce));
    on.SetAdmission([&impl](const RequestHead& head) { return impl.AdmitsHead(head); });
    on.set_pre_routing_handler([&impl](const httplib::Request& request, httplib::Response& response) {
        // No compression: on loopback it only costs time, and the library
        // would choose Brotli at its slowest setting (seconds for three.js
        // or the state of a large scene). Nor parts of an answer: a Range
        // asked for is ignored, and the whole answer given (200), as HTTP
        // lets a server do.
        IgnoreEncodingsAndRanges(request);
        if (impl.Admits(request)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        AnswerRefusal(response, {RefusalCode::Forbidden, "forbidden"});
        return httplib::Server::HandlerResponse::Handled;
    });
    const auto handle = [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.Answer(request, response);
    };
    on.Get(".*", handle);
    on.Post(".*", handle);
    // The library's own refusals (a bad request line, a Range it cannot
    // parse) are refusals of the API too, in JSON; a Range that cannot be
    // parsed is ignored as any other.
    on.set_error_handler(
        httplib::Server::HandlerWithResponse([&impl](const httplib::Request& request, httplib::Response& response) {
            IgnoreEncodingsAndRanges(request);
            if (response.status == 416) {
                if (impl.Admits(request)) {
                    impl.Answer(request, response);
                } else {
                    AnswerRefusal(response, {RefusalCode::Forbidden, "forbidden"});
                }
                return httplib::Server::HandlerResponse::Handled;
            }
            if (response.body.empty()) {
                AnswerRefusal(response, LibraryRefusal(response.status), response.status == 414 ? 414 : 0);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        }));
}

ViewServer::ViewServer(ViewSession& session, const std::string& pageDirectory)
    : impl_(std::make_unique<Impl>(session, pageDirectory)) {
    impl_->Install(impl_->server);
    impl_->Install(impl_->serverOnIpv6);
}

ViewServer::~ViewServer() = default;

std::optional<Refusal> ViewServer::Bind(int port) {
    Impl& impl = *impl_;
    // A port that the system chooses for 127.0.0.1 may be another's on
    // ::1: then another is tried.
    for (int attempt = 0; attempt < (port == 0 ? 16 : 1); ++attempt) {
        int error = 0;
        const int bound = impl.server.BindExclusive("127.0.0.1", port, error);
        if (bound < 0) {
            return Refusal{RefusalCode::NoPort, "cannot listen on 127.0.0.1 port " + std::to_string(port) + ": " +
                                                    sockets::ErrorText(error)};
        }
        const bool ipv6 = impl.serverOnIpv6.BindExclusive("::1", bound, error) > 0;
        const int ipv6Error = ipv6 ? 0 : sockets::Ipv6LoopbackRefusal(bound);
        if (ipv6 || sockets::MeansNoIpv6(ipv6Error)) {
            // Without IPv6, no program has ::1 either: 127.0.0.1 alone is served.
            impl.ipv6 = ipv6;
            impl.guard = std::make_unique<ViewGuard>(NewToken(), bound);
            return std::nullopt;
        }
        impl.server.Unbind();
        if (port != 0) {
            return Refusal{RefusalCode::NoPort, "cannot listen on [::1] port " + std::to_string(port) + ": " +
                                                    sockets::ErrorText(ipv6Error == 0 ? error : ipv6Error) +
                                                    " (the viewer serves both loopback addresses or none)"};
        }
    }
    return Refusal{RefusalCode::NoPort, "no port was free on both 127.0.0.1 and ::1"};
}

std::string ViewServer::Address() const { return Origin() + "/?token=" + Token(); }
std::string ViewServer::Origin() const { return impl_->guard->Origin(); }
std::string ViewServer::Token() const { return impl_->guard->Token(); }

// The servers listen on threads of their own; this one runs the session's
// work that their workers hand over, and stops them when asked (a stop that
// came before a server ran is made again until it ends).
void ViewServer::Serve() {
    Impl& impl = *impl_;
    std::atomic<int> running{0};
    std::vector<std::thread> listening;
    for (WatchedServer* on : {&impl.server, impl.ipv6 ? &impl.serverOnIpv6 : nullptr}) {
        if (on != nullptr) {
            ++running;
            listening.emplace_back([on, &running] {
                on->Listen();
                --running;
            });
        }
    }
    int quitWait = 0;
    while (running > 0) {
        if (impl.stopping || (impl.routes.Quitting() && ++quitWait > 10)) {
            impl.StopAll();
        }
        impl.sessionThread.RunHandedOver(std::chrono::milliseconds(10));
    }
    for (std::thread& thread : listening) {
        thread.join();
    }
}

void ViewServer::Stop() { impl_->stopping = true; }

}  // namespace driver
