#pragma once

#include <string>

namespace driver {

// What a request of the viewer shows of itself, for the guard.
struct RequestFacts {
    std::string method;         // "GET", "POST", ...
    std::string path;           // as decoded, without the query
    std::string queryToken;     // ?token=, or empty
    std::string authorization;  // the Authorization header, or empty
    std::string host;           // the Host header
    std::string origin;         // the Origin header, or empty
};

// Lets in only the holder of the server's token, on the server's own
// loopback name and port (no other Host: DNS rebinding), and no POST sent
// by a page of another site. The token may come in the query, as a bearer
// token or as the path's first part, "/t/TOKEN/" (so that the page's
// relative URLs, module imports among them, carry it).
class ViewGuard {
public:
    ViewGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

    // 0 when the request may pass, with `path` the route without a
    // "/t/TOKEN" prefix; else the HTTP status to answer (403).
    int Admit(const RequestFacts& request, std::string& path) const;

    const std::string& Token() const { return token_; }
    // "http://127.0.0.1:PORT"
    std::string Origin() const;

private:
    bool OwnHost(const std::string& host) const;
    bool TokenMatches(const std::string& candidate) const;

    std::string token_;
    int port_;
};

// 128 random bits from the system's source, as 32 hex digits.
std::string NewToken();

}  // namespace driver
