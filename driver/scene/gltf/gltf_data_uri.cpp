#include "scene/gltf/gltf_data_uri.h"

#include <cstdint>

#include "text/base64.h"

namespace driver::gltf {

namespace {

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> DataUriBytes(std::string_view uri) {
    const std::string_view scheme = "data:";
    const std::size_t comma = uri.find(',');
    if (uri.substr(0, scheme.size()) != scheme || comma == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view marker = ";base64";
    const std::string_view head = uri.substr(0, comma);
    if (head.size() < marker.size() || head.substr(head.size() - marker.size()) != marker) {
        return std::nullopt;
    }
    std::string_view digits = uri.substr(comma + 1);
    while (!digits.empty() && digits.back() == '=') {
        digits.remove_suffix(1);
    }
    std::string bytes;
    bytes.reserve(digits.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : digits) {
        const int value = DigitValue(c);
        if (value < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            bytes += static_cast<char>(bits >> 16);
            bytes += static_cast<char>(bits >> 8);
            bytes += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1) {
        return std::nullopt;
    }
    if (count >= 2) {
        bits <<= 6 * (4 - count);
        bytes += static_cast<char>(bits >> 16);
        if (count == 3) {
            bytes += static_cast<char>(bits >> 8);
        }
    }
    return bytes;
}

std::string BufferDataUri(std::string_view bytes) {
    std::string uri = "data:application/octet-stream;base64,";
    AppendBase64(uri, bytes);
    return uri;
}

}  // namespace driver::gltf
