#pragma once

#include <string>

namespace driver {

// What a request of the viewer shows of itself, for the guard.
struct RequestFacts {
    std::string method;         // "GET", "POST", ...
    bool pageFile = false;      // it asks for one of the page's own files
    std::string authorization;  // the Authorization header, or empty
    std::string host;           // the Host header
    std::string origin;         // the Origin header, or empty
};

// Lets in only the holder of the server's token, on the server's own
// loopback name and port (no other Host: DNS rebinding), and no request
// sent by a page of another origin. The token comes as a bearer token in
// every request: the page keeps it (never in a cookie, which the browser
// would send to every server of the machine, whatever its port, nor in an
// address it keeps) and sends it in a header. The page's own files, which
// hold nothing of the user's, are read without it: a browser asks for a
// module script with no header of the page's.
class ViewGuard {
public:
    ViewGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

    bool Admits(const RequestFacts& request) const;

    const std::string& Token() const { return token_; }
    // "http://127.0.0.1:PORT"
    std::string Origin() const;

private:
    bool OwnHost(const std::string& host) const;
    bool OwnOrigin(const std::string& origin) const;
    bool TokenMatches(const std::string& candidate) const;

    std::string token_;
    int port_;
};

// 128 random bits from the system's source, as 32 hex digits.
std::string NewToken();

}  // namespace driver
