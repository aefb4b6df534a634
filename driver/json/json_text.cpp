#include "json/json_text.h"

#include "text/hex_digits.h"

namespace driver {

void AppendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\\u00";
                    AppendHexByte(out, static_cast<unsigned char>(c));
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

std::string JsonString(const std::string& utf8) {
    std::string text;
    AppendJsonString(text, utf8);
    return text;
}

}  // namespace driver
