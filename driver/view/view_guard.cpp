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

bool ViewGuard::Admits(const RequestFacts& request) const {
    if (!OwnHost(request.host) || (!request.origin.empty() && !OwnOrigin(request.origin))) {
        return false;
    }
    const std::string bearer = "Bearer ";
    if (request.authorization.compare(0, bearer.size(), bearer) == 0 &&
        TokenMatches(request.authorization.substr(bearer.size()))) {
        return true;
    }
    return (request.method == "GET" || request.method == "HEAD") && request.pageFile;
}

}  // namespace driver
