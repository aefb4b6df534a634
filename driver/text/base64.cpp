#include "text/base64.h"

#include <cstdint>

namespace driver {

void AppendBase64(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t bits = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left > 1) bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2) bits |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(bits >> 18) & 63];
        out += kDigits[(bits >> 12) & 63];
        out += left > 1 ? kDigits[(bits >> 6) & 63] : '=';
        out += left > 2 ? kDigits[bits & 63] : '=';
    }
}

}  // namespace driver
