#include "text/name_text.h"

#include "text/hex_digits.h"
#include "text/utf8.h"

namespace driver {

std::string Quoted(const std::string& name) {
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

QuotedName ReadQuotedName(std::string_view text, std::size_t at) {
    QuotedName read;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            read.end = i + 1;
            return read;
        }
        if (text[i] != '\\') {
            read.name += text[i];
            continue;
        }
        const char escaped = i + 1 < text.size() ? text[i + 1] : '\0';
        if (escaped == '"' || escaped == '\\') {
            read.name += escaped;
            ++i;
        } else if (escaped == 'x' && i + 3 < text.size() && HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
            read.name += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
            i += 3;
        } else {
            read.problem = "a name in double quotes has a backslash that is none of its escapes \\\", \\\\ and \\xHH";
            return read;
        }
    }
    read.problem = "a name in double quotes has no closing double quote";
    return read;
}

std::size_t DisplayWidth(const std::string& text) {
    std::size_t width = 0;
    for (const char c : text) {
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return width;
}

}  // namespace driver
