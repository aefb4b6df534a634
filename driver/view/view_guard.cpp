#include "view/view_guard.h"

#include <random>

#include <cstdint>

namespace driver {

std::string NewToken() {
    // libstdc++ and the MinGW runtime read the system's random source here
    // (/dev/urandom, or the CPU's generator; RtlGenRandom on Windows).
    std::random_device source;
    std::string token;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = source();
        for (int digit = 0; digit < 8; ++digit) {
            token += "0123456789abcdef"[bits & 0xF];
            bits >>= 4;
        }
    }
    return token;
}

std::string ViewGuard::Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

// Browsers share cookies between the ports of one host: the name carries
// the port, so that two viewers keep their own.
std::string ViewGuard::CookieName() const { return "morvane-view-" + std::to_string(port_); }

std::string ViewGuard::SetCookie() const { return CookieName() + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict"; }

// Whole names and ports only: "127.0.0.1:80801" is another server's.
bool ViewGuard::OwnHost(const std::string& host) const {
    const std::string port = ":" + std::to_string(port_);
    return host == "127.0.0.1" + port || host == "localhost" + port || host == "[::1]" + port;
}

bool ViewGuard::OwnOrigin(const std::string& origin) const {
    const std::string scheme = "http://";
    return origin.compare(0, scheme.size(), scheme) == 0 && OwnHost(origin.substr(scheme.size()));
}

// Compares every byte, so that the time taken tells nothing of the token.
bool ViewGuard::TokenMatches(const std::string& candidate) const {
    if (candidate.size() != token_.size() || token_.empty()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token_.size(); ++i) {
        difference |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
    }
    return difference == 0;
}

// The value of this server's cookie in a Cookie header ("a=1; b=2"); none
// where the header holds no such cookie.
std::optional<std::string> ViewGuard::CookieToken(const std::string& header) const {
    const std::string name = CookieName() + "=";
    std::size_t start = 0;
    while (start < header.size()) {
        while (start < header.size() && header[start] == ' ') {
            ++start;
        }
        std::size_t end = header.find(';', start);
        end = end == std::string::npos ? header.size() : end;
        if (header.compare(start, name.size(), name) == 0) {
            return header.substr(start + name.size(), end - start - name.size());
        }
        start = end + 1;
    }
    return std::nullopt;
}

ViewGuard::Admission ViewGuard::Admit(const RequestFacts& request) const {
    const bool reads = request.method == "GET" || request.method == "HEAD";
    if (!OwnHost(request.host)) {
        return Admission::Forbidden;
    }
    if (request.method == "POST" && request.path == "/") {
        const bool fromFileOrOwn = request.origin.empty() || request.origin == "null" || OwnOrigin(request.origin);
        return fromFileOrOwn && TokenMatches(request.formToken) ? Admission::Exchange : Admission::Forbidden;
    }
    if (!reads && !request.origin.empty() && !OwnOrigin(request.origin)) {
        return Admission::Forbidden;
    }
    if (reads && request.path == "/" && TokenMatches(request.queryToken)) {
        return Admission::Exchange;
    }
    const std::string bearer = "Bearer ";
    const bool byBearer = request.authorization.compare(0, bearer.size(), bearer) == 0 &&
                          TokenMatches(request.authorization.substr(bearer.size()));
    const std::optional<std::string> cookie = CookieToken(request.cookie);
    return byBearer || (cookie && TokenMatches(*cookie)) ? Admission::Pass : Admission::Forbidden;
}

}  // namespace driver
