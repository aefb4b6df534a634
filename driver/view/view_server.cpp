#include "view/view_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "files/input_file.h"
#include "files/output_file.h"
#include "files/source_bytes.h"
#include "json/json_writer.h"
#include "session/action.h"
#include "session/session.h"
#include "text/refusal.h"
#include "view/session_thread.h"
#include "view/socket_calls.h"
#include "view/view_answers.h"
#include "view/view_archive.h"
#include "view/view_connections.h"
#include "view/view_dialog_files.h"
#include "view/view_files.h"
#include "view/view_guard.h"
#include "view/view_json.h"

namespace driver {

namespace {

constexpr std::size_t kMaxBody = WatchedServer::kMostBody;
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxLines = 256;

// At most kMaxLines lines of at most kMaxLine bytes; a last line feed ends
// the last line, it starts none.
bool LinesBounded(const std::string& body) {
    std::size_t lines = 0;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        end = end == std::string::npos ? body.size() : end;
        if (end - start > kMaxLine || ++lines > kMaxLines) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

struct ViewServer::Impl {
    ViewSession& session;
    ViewFiles files;
    std::unique_ptr<ViewGuard> guard;
    // cpp-httplib listens on one address a server: ::1 has a second one,
    // with the same handlers, on the same port.
    WatchedServer server;
    WatchedServer serverOnIpv6;
    bool ipv6 = false;            // ::1 is bound
    SessionThread sessionThread;  // one request at a time on the session and the plug-ins
    std::string pageDirectory;
    const std::string nonce = NewToken();
    std::atomic<bool> stopping{false};  // Stop() was called
    std::atomic<bool> quitting{false};  // the page's Quit was answered

    Impl(ViewSession& s, const std::string& page)
        : session(s), files(page, s.ScenePath(), s.ReferencedFiles(), s.Reach()), pageDirectory(page) {}

    // In the waiting room, on the head as sent; again by the library's
    // reading of it, before any handler.
    bool AdmitsHead(const RequestHead& head) const {
        const std::string path = head.target.substr(0, head.target.find('?'));
        return guard->Admits({head.method, files.IsPageFile(path), head.authorization, head.host, head.origin});
    }
    bool Admits(const httplib::Request& request) const {
        return guard->Admits({request.method, files.IsPageFile(request.path), request.get_header_value("Authorization"),
                              request.get_header_value("Host"), request.get_header_value("Origin")});
    }

    void Get(const std::string& route, httplib::Response& response);
    void Post(const std::string& route, const httplib::Request& request, httplib::Response& response);
    void Page(httplib::Response& response);
    void State(httplib::Response& response);
    void Act(const std::string& lines, httplib::Response& response);
    void Save(const std::string& path, httplib::Response& response);
    void Quit(const std::string& body, httplib::Response& response);
    void Install(WatchedServer& on);
    void StopAll() {
        server.Close();
        serverOnIpv6.Close();
    }
};

// The page's import map is the one script written in the page: the nonce
// of the Content-Security-Policy lets it in.
void ViewServer::Impl::Page(httplib::Response& response) {
    std::string page = ReadInputFile(pageDirectory + "/index.html");
    ReplaceFirst(page, "<script type=\"importmap\">", "<script type=\"importmap\" nonce=\"" + nonce + "\">");
    Answer(response, 200, std::move(page), "text/html; charset=utf-8");
}

void ViewServer::Impl::State(httplib::Response& response) {
    const ViewState whole = session.Whole();
    JsonWriter json(kStateBytesPerNode * whole.nodes.size());
    json.BeginObject().Key("format").Text(session.FormatName()).Key("scene").Text(files.SceneRoute());
    json.Key("output").Text(session.OutputPath()).Key("session").Text(session.SessionText());
    json.Key("refusedFiles").BeginArray();
    for (const auto& [file, why] : files.Refused()) {
        json.BeginObject().Key("file").Text(file).Key("why").Text(why).EndObject();
    }
    json.EndArray();
    WriteViewState(json, whole);
    AnswerJson(response, json.EndObject().Take());
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
    if (route == "/api/session.tar") {
        response.set_header("Content-Disposition", "attachment; filename=\"viewer-session.tar\"");
        return Answer(response, 200, TarArchive("viewer-session", session.SessionWithFiles()), "application/x-tar");
    }
    if (route == "/api/files/save" || route == "/api/files/load") {
        JsonWriter json;
        const std::string dialog = route.substr(route.rfind('/') + 1);
        WriteDialogFiles(json, FilesForDialog(session.Reach(), dialog, session.ScenePath()));
        return AnswerJson(response, json.Take());
    }
    if (route == "/api/scene") {
        return AnswerInPieces(response, session.SceneContent(), ContentTypeOf(session.ScenePath()));
    }
    const std::optional<std::string> file = files.Find(route);
    if (!file) {
        return AnswerRefusal(response, {RefusalCode::NotFound, "not found"});
    }
    const SourceBytes bytes = SourceBytes::OfFile(*file);
    FileContent content;
    bytes.AddTo(content, 0, bytes.Size());
    AnswerInPieces(response, std::move(content), ContentTypeOf(*file));
}

void ViewServer::Impl::Save(const std::string& path, httplib::Response& response) {
    if (const std::optional<Refusal> refusal = path.empty() ? std::nullopt : session.SetOutputPath(path)) {
        return AnswerRefusal(response, *refusal);
    }
    if (session.OutputPath().empty()) {
        return AnswerRefusal(response, {RefusalCode::NoOutput, "no file to save to: give its path"});
    }
    const InPlaceReason inPlace = session.Save();
    JsonWriter json;
    json.BeginObject().Key("written").Text(session.OutputPath());
    if (inPlace) {
        json.Key("inPlace").Text(*inPlace);
    }
    json.Key("unsaved").Count(session.Unsaved().size());
    AnswerJson(response, json.EndObject().Take());
}

// Edits that no Save has written end with the server only when the page
// says so ("discard"), after it has asked.
void ViewServer::Impl::Quit(const std::string& body, httplib::Response& response) {
    const std::vector<std::string> unsaved = session.Unsaved();
    if (!unsaved.empty() && body != "discard") {
        const Refusal refusal{RefusalCode::Unsaved, "unsaved edits: save them, or quit with \"discard\""};
        JsonWriter json;
        json.BeginObject().Key("code").Text(CodeName(refusal.code)).Key("message").Text(refusal.message);
        json.Texts("unsaved", unsaved).EndObject();
        return Answer(response, HttpStatusOf(refusal.code), json.Take(), "application/json");
    }
    AnswerJson(response, "{}");
    // Serve() stops the server once the answer is on its way: stopping
    // closes every connection.
    quitting = true;
}

// A gesture of session lines, bounded as the page's own are.
void ViewServer::Impl::Act(const std::string& lines, httplib::Response& response) {
    if (!LinesBounded(lines)) {
        return AnswerRefusal(response, {RefusalCode::TooLarge, "too many session lines, or a line too long"});
    }
    AnswerJson(response, ViewStateJson(session.Apply(lines)));
}

void ViewServer::Impl::Post(const std::string& route, const httplib::Request& request, httplib::Response& response) {
    if (route == "/api/actions") {
        return Act(request.body, response);
    }
    // A typed name pattern comes as it was typed: the session language's
    // own writer quotes it, so that the page need not know how. The bound
    // is on the name as typed, not on its quoted form.
    if (route == "/api/select-name") {
        if (request.body.size() > kMaxLine) {
            return AnswerRefusal(response, {RefusalCode::TooLarge,
                                            "the name is longer than " + std::to_string(kMaxLine) + " bytes"});
        }
        return AnswerJson(response, ViewStateJson(session.Apply(ActionText(SelectNamed{{request.body}, {}}))));
    }
    if (route == "/api/undo" || route == "/api/redo") {
        return AnswerJson(response, ViewStateJson(route == "/api/undo" ? session.Undo() : session.Redo()));
    }
    if (route == "/api/save") {
        return Save(request.body, response);
    }
    if (route == "/api/quit") {
        return Quit(request.body, response);
    }
    AnswerRefusal(response, {RefusalCode::NotFound, "not found"});
}

void ViewServer::Impl::Install(WatchedServer& on) {
    Impl& impl = *this;
    on.set_payload_max_length(kMaxBody);
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
        // The page's files and the scene's are fixed when the server starts:
        // they are served while a gesture or the state is being answered.
        const std::function<void()> answer = [&] {
            try {
                if (request.method == "POST") {
                    impl.Post(request.path, request, response);
                } else {
                    impl.Get(request.path, response);
                }
            } catch (const std::exception& e) {
                // The server's boundary: a refusal answers with its code's status.
                AnswerRefusal(response, RefusalOf(e));
            }
        };
        if (request.path.rfind("/api/", 0) == 0) {
            impl.sessionThread.Run(answer);
        } else {
            answer();
        }
    };
    on.Get(".*", handle);
    on.Post(".*", handle);
    // The library's own refusals (a bad request line, a Range it cannot
    // parse) are refusals of the API too, in JSON; a Range that cannot be
    // parsed is ignored as any other.
    on.set_error_handler(httplib::Server::HandlerWithResponse(
        [&impl, handle](const httplib::Request& request, httplib::Response& response) {
        IgnoreEncodingsAndRanges(request);
        if (response.status == 416) {
            if (impl.Admits(request)) {
                handle(request, response);
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
        if (impl.stopping || (impl.quitting && ++quitWait > 10)) {
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
