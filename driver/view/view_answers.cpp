#include "view/view_answers.h"

#include <algorithm>

#include "view/view_connections.h"
#include "view/view_json.h"

namespace driver {

// The page needs its own scripts (and the import map, which carries the
// nonce), its own connections, and images of its own or made by it; no
// frame may hold it, and no address leaves in a Referer.
httplib::Headers SecurityHeaders(const std::string& nonce) {
    return {
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self' 'wasm-unsafe-eval' 'nonce-" + nonce +
             "'; style-src 'self' 'unsafe-inline'; img-src 'self' data: blob:; connect-src 'self' data: blob:; "
             "worker-src 'self' blob:; base-uri 'self'; form-action 'none'; frame-ancestors 'none'"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Cache-Control", "no-store"},
    };
}

// The body is moved in: a large scene's state is tens of megabytes.
void Answer(httplib::Response& response, int status, std::string body, const std::string& type) {
    response.status = status;
    response.body = std::move(body);
    response.set_header("Content-Type", type);
}

// Sends `content` in pieces as they are made (or the range asked for), so
// that a large scene is never held whole.
void AnswerInPieces(httplib::Response& response, FileContent content, const std::string& type) {
    response.status = 200;
    const auto size = static_cast<std::size_t>(content.Size());
    response.set_content_provider(
        size, type, [content = std::move(content)](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
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

void ReplaceFirst(std::string& text, const std::string& what, const std::string& with) {
    const std::size_t at = text.find(what);
    if (at != std::string::npos) {
        text.replace(at, what.size(), with);
    }
}

// The request as the handlers see it: no encoding and no range is taken.
// The request is the server's own, handed to the hooks as const.
void IgnoreEncodingsAndRanges(const httplib::Request& request) {
    auto& own = const_cast<httplib::Request&>(request);
    own.headers.erase("Accept-Encoding");
    own.headers.erase("Range");
    own.ranges.clear();
}

// The refusal that stands for a status the library answered with.
Refusal LibraryRefusal(int status) {
    switch (status) {
        case 413:
            return {RefusalCode::TooLarge,
                    "the request's body is larger than " + std::to_string(WatchedServer::kMostBody >> 10) + " KiB"};
        case 414:
            return {RefusalCode::TooLarge, "the request's address is too long"};
        case 431:
            return {RefusalCode::TooLarge, "the request's header lines are too long"};
        case 404:
            return {RefusalCode::NotFound, "not found"};
        case 403:
            return {RefusalCode::Forbidden, "forbidden"};
        default:
            return {RefusalCode::Usage,
                    "the request is not one that HTTP allows here (status " + std::to_string(status) + ")"};
    }
}

void AnswerJson(httplib::Response& response, std::string json) {
    Answer(response, 200, std::move(json), "application/json");
}

// A refusal, with the HTTP status of its code (or `status`): {"code": ..., "message": ...}.
void AnswerRefusal(httplib::Response& response, const Refusal& refusal, int status) {
    Answer(response, status != 0 ? status : HttpStatusOf(refusal.code), RefusalJson(refusal), "application/json");
}

}  // namespace driver
