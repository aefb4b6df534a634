#include "json/json_text.h"

#include "text/hex_digits.h"

namespace driver {

namespace {

// The escape of a byte that a JSON string cannot hold as it is; null for
// any other. A control byte without a short escape gets "\u00" and its
// two hex digits.
const char* EscapeOf(char c) {
    switch (c) {
        case '"':
            return "\\\"";
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '\b':
            return "\\b";
        case '\f':
            return "\\f";
        default:
            return static_cast<unsigned char>(c) < 0x20 ? "\\u00" : nullptr;
    }
}

// The bytes that EscapeOf escapes, looked up at a byte's cost.
struct EscapedBytes {
    EscapedBytes() {
        for (int c = 0; c < 256; ++c) {
            bytes[c] = EscapeOf(static_cast<char>(c)) != nullptr;
        }
    }
    bool bytes[256] = {};
};
const EscapedBytes kEscaped;

}  // namespace

void AppendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    // Runs of bytes that need no escape go in at once.
    std::size_t run = 0;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        if (!kEscaped.bytes[static_cast<unsigned char>(utf8[at])]) {
            continue;
        }
        const char* escape = EscapeOf(utf8[at]);
        out.append(utf8, run, at - run);
        out += escape;
        if (escape[1] == 'u') {
            AppendHexByte(out, static_cast<unsigned char>(utf8[at]));
        }
        run = at + 1;
    }
    out.append(utf8, run, utf8.size() - run);
    out += '"';
}

std::string JsonString(const std::string& utf8) {
    std::string text;
    text.reserve(utf8.size() + 2);
    AppendJsonString(text, utf8);
    return text;
}

}  // namespace driver
