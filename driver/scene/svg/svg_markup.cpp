#include "scene/svg/svg_markup.h"

#include <cstdio>

#include "text/utf8.h"

namespace driver::svg {

void AppendNumber(std::string& out, double value) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.1f", value);
    out.append(text, length > 0 ? std::size_t(length) : 0);
}

std::string Number(double value) {
    std::string out;
    AppendNumber(out, value);
    return out;
}

std::string Escape(const std::string& text) {
    const bool utf8 = IsValidUtf8(text);
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += (byte < 0x20 || (byte >= 0x80 && !utf8)) ? '?' : c;
        }
    }
    return out;
}

std::string Shortened(const std::string& text, std::size_t columns) {
    const bool utf8 = IsValidUtf8(text);
    const char* const end = text.data() + text.size();
    std::size_t at = 0;
    for (std::size_t shown = 0; at < text.size(); ++shown) {
        if (shown == columns) {
            return text.substr(0, at) + (utf8 ? "\xE2\x80\xA6" : "...");
        }
        const std::size_t length = utf8 ? Utf8CharacterLength(text.data() + at, end) : 1;
        at += length == 0 ? 1 : length;
    }
    return text;
}

}  // namespace driver::svg
