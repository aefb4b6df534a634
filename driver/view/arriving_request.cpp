#include "view/arriving_request.h"

#include <algorithm>

#include "view/view_json.h"

namespace driver {

namespace {

// A chunk's size line, extensions included, is at most this long.
constexpr std::size_t kMostChunkLine = 256;

bool SameLetters(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool ParseRequestLine(std::string_view line, RequestHead& parsed) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || first == 0 || second == first + 1) {
        return false;
    }
    const std::string_view version = line.substr(second + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        return false;
    }
    parsed.method = line.substr(0, first);
    parsed.target = line.substr(first + 1, second - first - 1);
    return std::all_of(parsed.method.begin(), parsed.method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// A header that may come once: a second one is refused.
bool SetOnce(std::string& field, bool& seen, std::string_view value) {
    if (seen) {
        return false;
    }
    seen = true;
    field = value;
    return true;
}

const char* Reason(int status) {
    switch (status) {
        case 403:
            return "Forbidden";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        default:
            return "Bad Request";
    }
}

}  // namespace

bool ParseRequestHead(std::string_view head, RequestHead& parsed) {
    std::size_t end = std::min(head.find("\r\n"), head.size());
    if (!ParseRequestLine(head.substr(0, end), parsed)) {
        return false;
    }
    bool host = false, length = false, encoding = false;
    while (end < head.size()) {
        const std::size_t from = end + 2;
        end = std::min(head.find("\r\n", from), head.size());
        const std::string_view line = head.substr(from, end - from);
        const std::size_t colon = line.find(':');
        // No folded lines, no bare CR or LF: the library reads the head
        // again, and must find what was let in.
        if (colon == 0 || colon == std::string_view::npos || line.find_first_of("\r\n") != std::string_view::npos ||
            line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
            return false;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = Trimmed(line.substr(colon + 1));
        const bool taken = SameLetters(name, "host")                ? SetOnce(parsed.host, host, value)
                           : SameLetters(name, "content-length")    ? SetOnce(parsed.contentLength, length, value)
                           : SameLetters(name, "transfer-encoding") ? SetOnce(parsed.transferEncoding, encoding, value)
                                                                    : true;
        if (!taken) {
            return false;
        }
        if (SameLetters(name, "origin")) {
            parsed.origin = value;
        } else if (SameLetters(name, "authorization")) {
            parsed.authorization = value;
        } else if (SameLetters(name, "expect")) {
            parsed.expectsContinue = SameLetters(value, "100-continue");
        }
    }
    return true;
}

std::string RefusalAnswer(int status, const Refusal& why) {
    const std::string body = RefusalJson(why);
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n\r\n" + body;
}

std::size_t ArrivingRequest::Wanted() const {
    const std::size_t upTo = stage_ == Stage::Head   ? kMostHead + 1
                             : stage_ != Stage::Body ? 0
                             : chunked_              ? bodyStart_ + 2 * mostBody_ + kMostChunkLine
                                                     : bodyStart_ + bodyLength_;
    return upTo > bytes_.size() ? upTo - bytes_.size() : 0;
}

ArrivingRequest::Stage ArrivingRequest::Refuse(int status, RefusalCode code, std::string why) {
    status_ = status;
    why_ = {code, std::move(why)};
    owesContinue_ = false;
    return stage_ = Stage::Refused;
}

ArrivingRequest::Stage ArrivingRequest::Take(std::string_view bytes, const HeadAdmission& admit) {
    if (stage_ == Stage::Whole || stage_ == Stage::Refused) {
        return stage_;
    }
    bytes_.append(bytes);
    if (stage_ == Stage::Body) {
        return BodyArrived();
    }
    // Only what came since the last look is searched (and the three bytes
    // before it, where the end may begin), and only when it holds a line
    // feed: a flood of CR costs one quick look a read.
    const bool lineFeed = bytes_.find('\n', scanned_) != std::string::npos;
    const std::size_t end = lineFeed ? bytes_.find("\r\n\r\n", scanned_ < 3 ? 0 : scanned_ - 3) : std::string::npos;
    scanned_ = bytes_.size();
    if (end == std::string::npos || end + 4 > kMostHead) {
        return bytes_.size() > kMostHead || end != std::string::npos
                   ? Refuse(414, RefusalCode::TooLarge,
                            "the request's head is longer than " + std::to_string(kMostHead >> 10) + " KiB")
                   : stage_;
    }
    bodyStart_ = end + 4;
    return HeadArrived(admit);
}

ArrivingRequest::Stage ArrivingRequest::HeadArrived(const HeadAdmission& admit) {
    RequestHead head;
    if (!ParseRequestHead(std::string_view(bytes_).substr(0, bodyStart_ - 4), head)) {
        return Refuse(400, RefusalCode::Usage, "the request's head is not one that HTTP allows");
    }
    if (!admit(head)) {
        return Refuse(403, RefusalCode::Forbidden, "forbidden");
    }
    const std::string tooLarge = "the request's body is larger than " + std::to_string(mostBody_ >> 10) + " KiB";
    if (!head.transferEncoding.empty()) {
        if (!head.contentLength.empty() || !SameLetters(head.transferEncoding, "chunked")) {
            return Refuse(400, RefusalCode::Usage, "a body is taken with Content-Length or in chunks alone");
        }
        chunked_ = true;
        nextChunk_ = bodyStart_;
    }
    for (const char digit : head.contentLength) {
        if (digit < '0' || digit > '9') {
            return Refuse(400, RefusalCode::Usage, "the request's Content-Length is not a number");
        }
        if (bodyLength_ > mostBody_) {
            break;
        }
        bodyLength_ = bodyLength_ * 10 + static_cast<std::size_t>(digit - '0');
    }
    if (bodyLength_ > mostBody_) {
        return Refuse(413, RefusalCode::TooLarge, tooLarge);
    }
    owesContinue_ = head.expectsContinue && (chunked_ || bodyLength_ > 0);
    stage_ = Stage::Body;
    return BodyArrived();
}

ArrivingRequest::Stage ArrivingRequest::BodyArrived() {
    if (chunked_) {
        ChunksArrived();
        if (stage_ == Stage::Body && Wanted() == 0) {
            return Refuse(413, RefusalCode::TooLarge, "the request's chunks take more room than its body may");
        }
    } else if (bytes_.size() >= bodyStart_ + bodyLength_) {
        bytes_.resize(bodyStart_ + bodyLength_);
        stage_ = Stage::Whole;
    }
    if (stage_ == Stage::Whole) {
        owesContinue_ = false;
    }
    return stage_;
}

// Chunks as HTTP/1.1 frames them: a size in hexadecimal (extensions after
// a ';' ignored), its bytes, CR LF; the last of size 0, without trailers.
ArrivingRequest::Stage ArrivingRequest::ChunksArrived() {
    for (;;) {
        const std::size_t lineEnd = bytes_.find("\r\n", nextChunk_);
        if (lineEnd == std::string::npos || lineEnd - nextChunk_ > kMostChunkLine) {
            return bytes_.size() - nextChunk_ > kMostChunkLine
                       ? Refuse(400, RefusalCode::Usage, "a chunk's size line is too long")
                       : stage_;
        }
        const std::string_view line = std::string_view(bytes_).substr(nextChunk_, lineEnd - nextChunk_);
        const std::string_view digits = line.substr(0, line.find(';'));
        std::size_t size = 0;
        for (const char digit : digits) {
            const char lower = static_cast<char>(digit | 0x20);
            const bool hex = (digit >= '0' && digit <= '9') || (lower >= 'a' && lower <= 'f');
            if (!hex) {
                return Refuse(400, RefusalCode::Usage, "a chunk's size is not a hexadecimal number");
            }
            size = size * 16 + static_cast<std::size_t>(hex && digit <= '9' ? digit - '0' : lower - 'a' + 10);
            if (chunksLength_ + size > mostBody_) {
                return Refuse(413, RefusalCode::TooLarge,
                              "the request's body is larger than " + std::to_string(mostBody_ >> 10) + " KiB");
            }
        }
        const std::size_t dataEnd = lineEnd + 2 + size;
        if (digits.empty() || bytes_.size() < dataEnd + 2) {
            return digits.empty() ? Refuse(400, RefusalCode::Usage, "a chunk without its size") : stage_;
        }
        if (bytes_.compare(dataEnd, 2, "\r\n") != 0) {
            return Refuse(400, RefusalCode::Usage, "a chunk is not as long as its size says, or has trailers");
        }
        chunksLength_ += size;
        nextChunk_ = dataEnd + 2;
        if (size == 0) {
            bytes_.resize(nextChunk_);
            return stage_ = Stage::Whole;
        }
    }
}

}  // namespace driver
