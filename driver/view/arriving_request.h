#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "text/refusal.h"

namespace driver {

// What the waiting room reads of a request's head to let it in or not.
struct RequestHead {
    std::string method;
    std::string target;  // as sent: path and query
    std::string host;
    std::string origin;
    std::string authorization;
    std::string contentLength;  // as sent, or empty
    std::string transferEncoding;
    bool expectsContinue = false;  // Expect: 100-continue
};

// Whether the request is let in: decided on its head alone.
using HeadAdmission = std::function<bool(const RequestHead&)>;

// A request as its bytes arrive in the waiting room, looked at once each:
// its head (at most kMostHead bytes), then, only once the head is let in,
// its body (at most `mostBody` bytes as Content-Length or chunks give
// it). What comes after the request is not read.
class ArrivingRequest {
public:
    static constexpr std::size_t kMostHead = std::size_t{16} * 1024;

    enum class Stage { Head, Body, Whole, Refused };

    explicit ArrivingRequest(std::size_t mostBody) : mostBody_(mostBody) {}

    // How many more bytes may be read now (0 once whole or refused).
    std::size_t Wanted() const;
    // Takes bytes as they come; `admit` is asked once, when the head is whole.
    Stage Take(std::string_view bytes, const HeadAdmission& admit);
    Stage Now() const { return stage_; }
    // Once whole: the request's bytes, up to the end of its body.
    const std::string& Bytes() const { return bytes_; }
    // Once refused: the HTTP status and why.
    int Status() const { return status_; }
    const Refusal& Why() const { return why_; }
    // An interim "100 Continue" is owed: the client waits for it to send
    // the body of a request let in.
    bool OwesContinue() const { return owesContinue_; }
    void ContinueSent() { owesContinue_ = false; }

private:
    Stage Refuse(int status, RefusalCode code, std::string why);
    Stage HeadArrived(const HeadAdmission& admit);
    Stage BodyArrived();
    Stage ChunksArrived();

    std::size_t mostBody_;
    std::string bytes_;
    std::size_t scanned_ = 0;  // bytes already searched for the head's end
    std::size_t bodyStart_ = 0;
    std::size_t bodyLength_ = 0;  // Content-Length
    bool chunked_ = false;
    std::size_t nextChunk_ = 0;  // where the next chunk's size line starts
    std::size_t chunksLength_ = 0;
    bool owesContinue_ = false;
    Stage stage_ = Stage::Head;
    int status_ = 0;
    Refusal why_;
};

// Parses the request line and header lines of `head` (up to, not
// including, its empty line); false when they are not HTTP's.
bool ParseRequestHead(std::string_view head, RequestHead& parsed);

// The whole answer that refuses a request: `status` and a JSON body
// {"code": ..., "message": ...}; the connection then ends.
std::string RefusalAnswer(int status, const Refusal& why);

}  // namespace driver
