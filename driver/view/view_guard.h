#pragma once

#include <optional>
#include <string>

namespace driver {

// What a request of the viewer shows of itself, for the guard.
struct RequestFacts {
    std::string method;          // "GET", "POST", ...
    std::string path;            // as decoded, without the query
    std::string queryToken;      // ?token=, or empty
    std::string authorization;   // the Authorization header, or empty
    std::string cookie;          // the Cookie header, or empty
    std::string host;            // the Host header
    std::string origin;          // the Origin header, or empty
    std::string formToken = {};  // token= of a form's body (POST /), or empty
};

// Lets in only the holder of the server's token, on the server's own
// loopback name and port (no other Host: DNS rebinding), and no request
// but a GET sent by a page of another origin. The token comes as an
// HttpOnly, SameSite=Strict cookie, or as a bearer token (programs); in the
// query it is taken once, on the page's address, and exchanged for the
// cookie, so that it leaves the address bar and is never sent again; the
// page that opens the viewer posts it in a form (from a file, whose origin
// is "null"), so that no address the browser keeps holds it.
class ViewGuard {
public:
    enum class Admission { Pass, Exchange, Forbidden };

    ViewGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

    Admission Admit(const RequestFacts& request) const;

    const std::string& Token() const { return token_; }
    // "http://127.0.0.1:PORT"
    std::string Origin() const;
    // The Set-Cookie value that an exchange answers with.
    std::string SetCookie() const;

private:
    bool OwnHost(const std::string& host) const;
    bool OwnOrigin(const std::string& origin) const;
    bool TokenMatches(const std::string& candidate) const;
    [[nodiscard]] std::optional<std::string> CookieToken(const std::string& header) const;
    std::string CookieName() const;

    std::string token_;
    int port_;
};

// 128 random bits from the system's source, as 32 hex digits.
std::string NewToken();

}  // namespace driver
