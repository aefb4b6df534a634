#include "text/name_text.h"

#include <cstdint>
#include <cstring>

#include "text/hex_digits.h"
#include "text/utf8.h"

namespace driver {

namespace {

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

// The columns that the quoted form of the character of `length` bytes at
// `at` takes: 2 for an escaped quote or backslash, 4 for \\xHH, else 1.
std::size_t QuotedColumns(const std::string& name, std::size_t at, std::size_t length, bool quoting) {
    const auto byte = static_cast<unsigned char>(name[at]);
    if (quoting && (name[at] == '"' || name[at] == '\\')) {
        return 2;
    }
    return length == 1 && (IsControl(byte) || byte >= 0x80) ? 4 : 1;
}

// Appends the quoted form of `name`'s characters (without `quoting`, quotes
// and backslashes as they are), up to `columns` columns; gives the length
// of the part that it quoted.
std::size_t AppendQuotedPart(std::string& quoted, const std::string& name, std::size_t columns, bool quoting = true) {
    const bool utf8 = IsValidUtf8(name);
    std::size_t at = 0;
    for (std::size_t width = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        const std::size_t length =
            utf8 && byte >= 0x80 ? Utf8CharacterLength(name.data() + at, name.data() + name.size()) : 1;
        const std::size_t needed = QuotedColumns(name, at, length, quoting);
        if (width + needed > columns) {
            break;
        }
        width += needed;
        if (needed == 2) {
            quoted += '\\';
            quoted += name[at];
        } else if (needed == 4) {
            quoted += "\\x";
            AppendHexByte(quoted, byte);
        } else {
            quoted.append(name, at, length);
        }
        at += length;
    }
    return at;
}

}  // namespace

std::string Quoted(const std::string& name) {
    std::string quoted;
    AppendQuoted(quoted, name);
    return quoted;
}

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    // Most names need no escape: a UTF-8 text without quotes, backslashes
    // and control bytes is its own quoted form.
    bool plain = true;
    bool ascii = true;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte) || c == '"' || c == '\\') {
            plain = false;
            break;
        }
        ascii = ascii && byte < 0x80;
    }
    if (plain && (ascii || IsValidUtf8(text))) {
        out += text;
    } else {
        AppendQuotedPart(out, text, static_cast<std::size_t>(-1));
    }
    out += '"';
}

std::string Excerpt(const std::string& text) {
    std::string excerpt;
    const std::size_t shown = AppendQuotedPart(excerpt, text, kQuotedExcerptColumns, false);
    if (shown < text.size()) {
        excerpt += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return excerpt;
}

std::string QuotedExcerpt(const std::string& text) {
    std::string quoted = "\"";
    // The quotes take two of the columns.
    const std::size_t shown = AppendQuotedPart(quoted, text, kQuotedExcerptColumns - 2);
    quoted += '"';
    if (shown < text.size()) {
        quoted += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return quoted;
}

namespace {

std::string Escaped(const std::string& text, bool keepLineFeeds) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte) && !(keepLineFeeds && c == '\n')) {
            escaped += "\\x";
            AppendHexByte(escaped, byte);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::string EscapedControls(const std::string& line) { return Escaped(line, true); }

bool HasControls(const std::string& line) {
    // Eight bytes at a time, where none is below 0x20 or is 0x7f (the usual
    // case: every line of a transcript passes here), else byte by byte.
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    const auto below = [](std::uint64_t word, std::uint64_t n) { return (word - kOnes * n) & ~word & kHigh; };
    std::size_t at = 0;
    for (; at + 8 <= line.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, line.data() + at, sizeof word);
        if (below(word, 0x20) == 0 && below(word ^ (kOnes * 0x7f), 1) == 0) {
            continue;
        }
        for (std::size_t i = at; i < at + 8; ++i) {
            if (IsControl(static_cast<unsigned char>(line[i])) && line[i] != '\n') {
                return true;
            }
        }
    }
    for (; at < line.size(); ++at) {
        if (IsControl(static_cast<unsigned char>(line[at])) && line[at] != '\n') {
            return true;
        }
    }
    return false;
}

std::string OnOneLine(const std::string& text) { return Escaped(text, false); }

std::string AsUtf8Text(const std::string& text) {
    if (IsValidUtf8(text)) {
        return text;
    }
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            escaped += "\\x";
            AppendHexByte(escaped, static_cast<unsigned char>(c));
        } else {
            escaped += c;
        }
    }
    return escaped;
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
