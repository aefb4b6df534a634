#include "view/view_guard.h"

#include <random>

#include <cstdint>

namespace driver {

namespace {

constexpr const char* kPathPrefix = "/t/";

}  // namespace

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

bool ViewGuard::OwnHost(const std::string& host) const {
    const std::string port = ":" + std::to_string(port_);
    return host == "127.0.0.1" + port || host == "localhost" + port || host == "[::1]" + port;
}

// Compares every byte, so that the time taken tells nothing of the token.
bool ViewGuard::TokenMatches(const std::string& candidate) const {
    if (candidate.size() != token_.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token_.size(); ++i) {
        difference |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
    }
    return difference == 0;
}

int ViewGuard::Admit(const RequestFacts& request, std::string& path) const {
    constexpr int kForbidden = 403;
    if (!OwnHost(request.host)) {
        return kForbidden;
    }
    if (request.method != "GET" && request.method != "HEAD" && !request.origin.empty() &&
        request.origin != Origin() && request.origin != "http://localhost:" + std::to_string(port_) &&
        request.origin != "http://[::1]:" + std::to_string(port_)) {
        return kForbidden;
    }
    path = request.path;
    const std::string prefix = kPathPrefix;
    if (path.compare(0, prefix.size(), prefix) == 0) {
        const std::size_t end = path.find('/', prefix.size());
        if (end != std::string::npos && TokenMatches(path.substr(prefix.size(), end - prefix.size()))) {
            path.erase(0, end);
            return 0;
        }
    }
    const std::string bearer = "Bearer ";
    if (TokenMatches(request.queryToken) ||
        (request.authorization.compare(0, bearer.size(), bearer) == 0 &&
         TokenMatches(request.authorization.substr(bearer.size())))) {
        return 0;
    }
    return kForbidden;
}

}  // namespace driver
