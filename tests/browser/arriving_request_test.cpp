// The waiting room's reading of a request: a head let in or refused before
// any of its body is read, a body read to its bound however it is framed,
// whatever pieces the bytes come in.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "view/arriving_request.h"

namespace {

using Stage = driver::ArrivingRequest::Stage;

constexpr std::size_t kMostBody = 64 * 1024;
constexpr std::size_t kMostHead = driver::ArrivingRequest::kMostHead;

std::string Head(const std::string& method, const std::string& lines, bool token = true) {
    return method + " /api/actions HTTP/1.1\r\nHost: 127.0.0.1:1\r\n" + (token ? "Authorization: Bearer t\r\n" : "") +
           lines + "\r\n";
}

struct Fed {
    Stage stage;
    int status;
    std::string bytes;
    int asked = 0;  // how often the head was looked at
    std::size_t mostBeforeAdmission = 0;
};

// Feeds `bytes` in pieces of `piece`, as the waiting room does: never
// more than the request wants.
Fed Feed(const std::string& bytes, std::size_t piece) {
    driver::ArrivingRequest request(kMostBody);
    Fed fed{Stage::Head, 0, {}};
    const driver::HeadAdmission admit = [&](const driver::RequestHead& head) {
        ++fed.asked;
        return head.authorization == "Bearer t";
    };
    std::size_t at = 0;
    while (at < bytes.size() && request.Wanted() > 0) {
        if (fed.asked == 0) {
            fed.mostBeforeAdmission = at + std::min(piece, request.Wanted());
        }
        const std::size_t taken = std::min({piece, request.Wanted(), bytes.size() - at});
        request.Take(std::string_view(bytes).substr(at, taken), admit);
        at += taken;
    }
    fed.stage = request.Now();
    fed.status = request.Status();
    fed.bytes = request.Bytes();
    return fed;
}

TEST(ArrivingRequest, LetsInByTheHeadAndReadsTheBodyToItsBound) {
    const std::string chunked = "Transfer-Encoding: chunked\r\n";
    const std::string huge = std::string(kMostBody, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        Stage stage;
        int status;
        std::size_t kept;  // bytes handed on, for a whole request
    };
    const std::string get = Head("GET", "");
    const std::string post = Head("POST", "Content-Length: 5\r\n");
    const std::string chunks = Head("POST", chunked);
    const std::vector<Case> cases = {
        {"a GET", get, Stage::Whole, 0, get.size()},
        {"what comes after a GET is not taken", get + "GET / HTTP/1.1\r\n", Stage::Whole, 0, get.size()},
        {"a POST with its body", post + "hello", Stage::Whole, 0, post.size() + 5},
        {"a POST's body and no more", post + "hello, and more", Stage::Whole, 0, post.size() + 5},
        {"a POST without a length has no body", Head("POST", "") + "body", Stage::Whole, 0, Head("POST", "").size()},
        {"a length beyond the bound", Head("POST", "Content-Length: 65537\r\n") + huge, Stage::Refused, 413, 0},
        {"a length of many digits", Head("POST", "Content-Length: 99999999999999999999999\r\n"), Stage::Refused, 413,
         0},
        {"a length that is no number", Head("POST", "Content-Length: 5x\r\n"), Stage::Refused, 400, 0},
        {"two lengths", Head("POST", "Content-Length: 5\r\nContent-Length: 5\r\n") + "hello", Stage::Refused, 400, 0},
        {"two hosts", Head("GET", "Host: evil.example\r\n"), Stage::Refused, 400, 0},
        {"chunks", chunks + "5\r\nhello\r\n3;x=y\r\nabc\r\n0\r\n\r\n", Stage::Whole, 0, chunks.size() + 27},
        {"chunks beyond the bound", chunks + "10001\r\n" + huge + "x\r\n0\r\n\r\n", Stage::Refused, 413, 0},
        {"chunks that add up beyond it", chunks + "8000\r\n" + huge.substr(0, 0x8000) + "\r\n8001\r\n" + huge,
         Stage::Refused, 413, 0},
        {"a chunk longer than its size", chunks + "2\r\nhello\r\n0\r\n\r\n", Stage::Refused, 400, 0},
        {"a chunk size that is no number", chunks + "zz\r\nhello\r\n", Stage::Refused, 400, 0},
        {"a chunk size line without end", chunks + std::string(1000, '1'), Stage::Refused, 400, 0},
        {"trailers", chunks + "0\r\nX-Trailer: 1\r\n\r\n", Stage::Refused, 400, 0},
        {"length and chunks", Head("POST", chunked + "Content-Length: 5\r\n") + "5\r\nhello\r\n0\r\n\r\n",
         Stage::Refused, 400, 0},
        {"another coding", Head("POST", "Transfer-Encoding: gzip, chunked\r\n"), Stage::Refused, 400, 0},
        {"no token: chunks announced", Head("POST", chunked, false) + "100000\r\n" + huge, Stage::Refused, 403, 0},
        {"no token: a long body", Head("POST", "Content-Length: 65536\r\n", false) + huge, Stage::Refused, 403, 0},
        {"no token: a GET", Head("GET", "", false), Stage::Refused, 403, 0},
        {"a head too long", Head("GET", "X: " + std::string(kMostHead, 'x') + "\r\n"), Stage::Refused, 414, 0},
        {"carriage returns up to the bound", std::string(kMostHead, '\r'), Stage::Head, 0, 0},
        {"carriage returns beyond it", std::string(kMostHead + 1, '\r'), Stage::Refused, 414, 0},
        {"a request line that is not HTTP's", "GET /\r\nHost: 127.0.0.1:1\r\n\r\n", Stage::Refused, 400, 0},
        {"a folded header line", Head("GET", " folded\r\n"), Stage::Refused, 400, 0},
        {"a bare line feed in a header line", Head("GET", "X: a\nHost: evil\r\n"), Stage::Refused, 400, 0},
        {"a body still to come", post + "hel", Stage::Body, 0, 0},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, c.bytes.size()}) {
            const Fed fed = Feed(c.bytes, piece);
            EXPECT_EQ(fed.stage, c.stage) << c.what << ", pieces of " << piece;
            EXPECT_EQ(fed.status, c.status) << c.what << ", pieces of " << piece;
            EXPECT_LE(fed.asked, 1) << c.what;
            EXPECT_LE(fed.mostBeforeAdmission, kMostHead + 1) << c.what << ": read before the head was let in";
            if (c.stage == Stage::Whole) {
                EXPECT_EQ(fed.bytes, c.bytes.substr(0, c.kept)) << c.what << ", pieces of " << piece;
            }
        }
    }
}

TEST(ArrivingRequest, OwesAContinueOnlyWhileABodyLetInIsAwaited) {
    const driver::HeadAdmission admit = [](const driver::RequestHead& head) {
        return head.authorization == "Bearer t";
    };
    for (const bool token : {true, false}) {
        driver::ArrivingRequest request(kMostBody);
        request.Take(Head("POST", "Content-Length: 5\r\nExpect: 100-continue\r\n", token), admit);
        EXPECT_EQ(request.OwesContinue(), token);
        request.ContinueSent();
        EXPECT_EQ(request.Take("hello", admit), token ? Stage::Whole : Stage::Refused);
    }
    driver::ArrivingRequest whole(kMostBody);
    whole.Take(Head("POST", "Content-Length: 5\r\nExpect: 100-continue\r\n") + "hello", admit);
    EXPECT_FALSE(whole.OwesContinue()) << "the body came with the head";
}

TEST(ArrivingRequest, RefusalsAreWholeAnswers) {
    const std::string answer = driver::RefusalAnswer(414, {driver::RefusalCode::TooLarge, "too long"});
    EXPECT_EQ(answer.rfind("HTTP/1.1 414 ", 0), 0u);
    const std::size_t body = answer.find("\r\n\r\n") + 4;
    EXPECT_NE(answer.find("Content-Length: " + std::to_string(answer.size() - body) + "\r\n"), std::string::npos);
    EXPECT_NE(answer.find("\"too-large\"", body), std::string::npos);
}

}  // namespace
