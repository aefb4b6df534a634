#include "view/view_server_routes.h"

#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "files/input_file.h"
#include "files/source_bytes.h"
#include "json/json_writer.h"
#include "session/action.h"
#include "text/refusal.h"
#include "view/view_answers.h"
#include "view/view_archive.h"
#include "view/view_connections.h"
#include "view/view_dialog_files.h"
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

// Who may ask for a route: the token's holder, or anyone.
enum class Needs { Token, Nothing };
// Where a route is answered: on the session's thread (it reads or changes
// the session, or a plug-in), or on the worker that read it.
enum class RunsOn { Session, Worker };

}  // namespace

struct ViewRoutes::Route {
    const char* method;
    const char* path;
    Needs needs;
    std::size_t mostBody;
    const char* body;  // what the body is, for the refusal of a larger one
    RunsOn runsOn;
    void (ViewRoutes::*handler)(const httplib::Request&, httplib::Response&);
};

// The viewer's routes. A typed name pattern comes as it was typed: the
// session language's own writer quotes it, so that the page need not know
// how; its bound is on the name as typed. The page's files and the
// scene's are fixed when the server starts: they are served while a
// gesture or the state is being answered.
const ViewRoutes::Route ViewRoutes::kRoutes[] = {
    {"GET", "/", Needs::Nothing, kMaxBody, "body", RunsOn::Worker, &ViewRoutes::Page},
    {"GET", "/index.html", Needs::Nothing, kMaxBody, "body", RunsOn::Worker, &ViewRoutes::Page},
    {"GET", "/api/state", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::State},
    {"GET", "/api/session", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::SessionText},
    {"GET", "/api/session.tar", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::SessionArchive},
    {"GET", "/api/files/save", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::DialogFiles},
    {"GET", "/api/files/load", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::DialogFiles},
    {"GET", "/api/scene", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::Scene},
    {"POST", "/api/actions", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::Act},
    {"POST", "/api/select-name", Needs::Token, kMaxLine, "name", RunsOn::Session, &ViewRoutes::SelectName},
    {"POST", "/api/undo", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::Undo},
    {"POST", "/api/redo", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::Redo},
    {"POST", "/api/save", Needs::Token, kMaxBody, "path", RunsOn::Session, &ViewRoutes::Save},
    {"POST", "/api/quit", Needs::Token, kMaxBody, "body", RunsOn::Session, &ViewRoutes::Quit},
};
// Any other file is the page's (open to all) or the scene's (the token's).
const ViewRoutes::Route ViewRoutes::kFile = {
    "GET", "", Needs::Token, kMaxBody, "body", RunsOn::Worker, &ViewRoutes::File};
const ViewRoutes::Route ViewRoutes::kNotFound = {
    "", "", Needs::Token, kMaxBody, "body", RunsOn::Worker, &ViewRoutes::NotFound};

ViewRoutes::ViewRoutes(ViewSession& session, const std::string& pageDirectory, std::string nonce)
    : session_(session),
      files_(pageDirectory, session.ScenePath(), session.ReferencedFiles(), session.Reach()),
      pageDirectory_(pageDirectory),
      nonce_(std::move(nonce)) {}

// HEAD is answered as GET, without the body.
const ViewRoutes::Route& ViewRoutes::RouteOf(const std::string& method, const std::string& path) {
    const std::string asked = method == "HEAD" ? "GET" : method;
    for (const Route& route : kRoutes) {
        if (asked == route.method && path == route.path) {
            return route;
        }
    }
    return asked == "GET" ? kFile : kNotFound;
}

bool ViewRoutes::OpenToAll(const std::string& method, const std::string& path) const {
    const Route& route = RouteOf(method, path);
    return route.needs == Needs::Nothing || (&route == &kFile && files_.IsPageFile(path));
}

void ViewRoutes::Answer(const httplib::Request& request, httplib::Response& response, SessionThread& sessionThread) {
    const Route& route = RouteOf(request.method, request.path);
    const std::function<void()> answer = [&] {
        try {
            if (request.body.size() > route.mostBody) {
                return AnswerRefusal(response,
                                     {RefusalCode::TooLarge, std::string("the ") + route.body + " is longer than " +
                                                                 std::to_string(route.mostBody) + " bytes"});
            }
            (this->*route.handler)(request, response);
        } catch (const std::exception& e) {
            // The server's boundary: a refusal answers with its code's status.
            AnswerRefusal(response, RefusalOf(e));
        }
    };
    if (route.runsOn == RunsOn::Session) {
        sessionThread.Run(answer);
    } else {
        answer();
    }
}

// The page's import map is the one script written in the page: the nonce
// of the Content-Security-Policy lets it in.
void ViewRoutes::Page(const httplib::Request&, httplib::Response& response) {
    std::string page = ReadInputFile(pageDirectory_ + "/index.html");
    ReplaceFirst(page, "<script type=\"importmap\">", "<script type=\"importmap\" nonce=\"" + nonce_ + "\">");
    driver::Answer(response, 200, std::move(page), "text/html; charset=utf-8");
}

void ViewRoutes::State(const httplib::Request&, httplib::Response& response) {
    const ViewState whole = session_.Whole();
    JsonWriter json(kStateBytesPerNode * whole.nodes.size());
    json.BeginObject().Key("format").Text(session_.FormatName()).Key("scene").Text(files_.SceneRoute());
    json.Key("output").Text(session_.OutputPath()).Key("session").Text(session_.SessionText());
    json.Key("refusedFiles").BeginArray();
    for (const auto& [file, why] : files_.Refused()) {
        json.BeginObject().Key("file").Text(file).Key("why").Text(why).EndObject();
    }
    json.EndArray();
    WriteViewState(json, whole);
    AnswerJson(response, json.EndObject().Take());
}

void ViewRoutes::SessionText(const httplib::Request&, httplib::Response& response) {
    driver::Answer(response, 200, session_.SessionText(), "text/plain; charset=utf-8");
}

void ViewRoutes::SessionArchive(const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Disposition", "attachment; filename=\"viewer-session_.tar\"");
    driver::Answer(response, 200, TarArchive("viewer-session", session_.SessionWithFiles()), "application/x-tar");
}

// The files a dialog of the page offers: "/api/files/save" or ".../load".
void ViewRoutes::DialogFiles(const httplib::Request& request, httplib::Response& response) {
    JsonWriter json;
    const std::string dialog = request.path.substr(request.path.rfind('/') + 1);
    WriteDialogFiles(json, FilesForDialog(session_.Reach(), dialog, session_.ScenePath()));
    AnswerJson(response, json.Take());
}

void ViewRoutes::Scene(const httplib::Request&, httplib::Response& response) {
    AnswerInPieces(response, session_.SceneContent(), ContentTypeOf(session_.ScenePath()));
}

void ViewRoutes::File(const httplib::Request& request, httplib::Response& response) {
    const std::optional<std::string> file = files_.Find(request.path);
    if (!file) {
        return NotFound(request, response);
    }
    const SourceBytes bytes = SourceBytes::OfFile(*file);
    FileContent content;
    bytes.AddTo(content, 0, bytes.Size());
    AnswerInPieces(response, std::move(content), ContentTypeOf(*file));
}

void ViewRoutes::NotFound(const httplib::Request&, httplib::Response& response) {
    AnswerRefusal(response, {RefusalCode::NotFound, "not found"});
}

void ViewRoutes::Save(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.body;
    if (const std::optional<Refusal> refusal = path.empty() ? std::nullopt : session_.SetOutputPath(path)) {
        return AnswerRefusal(response, *refusal);
    }
    if (session_.OutputPath().empty()) {
        return AnswerRefusal(response, {RefusalCode::NoOutput, "no file to save to: give its path"});
    }
    const InPlaceReason inPlace = session_.Save();
    JsonWriter json;
    json.BeginObject().Key("written").Text(session_.OutputPath());
    if (inPlace) {
        json.Key("inPlace").Text(*inPlace);
    }
    json.Key("unsaved").Count(session_.Unsaved().size());
    AnswerJson(response, json.EndObject().Take());
}

// Edits that no Save has written end with the server only when the page
// says so ("discard"), after it has asked.
void ViewRoutes::Quit(const httplib::Request& request, httplib::Response& response) {
    const std::vector<std::string> unsaved = session_.Unsaved();
    if (!unsaved.empty() && request.body != "discard") {
        const Refusal refusal{RefusalCode::Unsaved, "unsaved edits: save them, or quit with \"discard\""};
        JsonWriter json;
        json.BeginObject().Key("code").Text(CodeName(refusal.code)).Key("message").Text(refusal.message);
        json.Texts("unsaved", unsaved).EndObject();
        return driver::Answer(response, HttpStatusOf(refusal.code), json.Take(), "application/json");
    }
    AnswerJson(response, "{}");
    // Serve() stops the server once the answer is on its way: stopping
    // closes every connection.
    quitting_ = true;
}

// A gesture of session lines, bounded as the page's own are.
void ViewRoutes::Act(const httplib::Request& request, httplib::Response& response) {
    if (!LinesBounded(request.body)) {
        return AnswerRefusal(response, {RefusalCode::TooLarge, "too many session lines, or a line too long"});
    }
    AnswerJson(response, ViewStateJson(session_.Apply(request.body)));
}

void ViewRoutes::SelectName(const httplib::Request& request, httplib::Response& response) {
    AnswerJson(response, ViewStateJson(session_.Apply(ActionText(SelectNamed{{request.body}, {}}))));
}

void ViewRoutes::Undo(const httplib::Request&, httplib::Response& response) {
    AnswerJson(response, ViewStateJson(session_.Undo()));
}

void ViewRoutes::Redo(const httplib::Request&, httplib::Response& response) {
    AnswerJson(response, ViewStateJson(session_.Redo()));
}

}  // namespace driver
