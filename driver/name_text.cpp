#include "name_text.h"

#include "hex_digits.h"
#include "utf8.h"

namespace driver {

std::string QuoteName(const std::string& name) {
    const bool utf8 = IsValidUtf8(name);
    std::string quoted = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7f || (byte >= 0x80 && !utf8)) {
            quoted += "\\x";
            AppendHexByte(quoted, byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::size_t DisplayWidth(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text) {
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return width;
}

}  // namespace driver
