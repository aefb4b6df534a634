#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace driver {

// A text (a caption, a path, an argument) in double quotes as it is.
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A name in double quotes as messages and the transcript show it: '"' and
// '\\' escaped with a backslash, control bytes as \xHH, and so is every
// byte from 0x80 up in a name that is not UTF-8; other bytes unchanged.
std::string QuoteName(const std::string& name);

// Reads back a name in the form QuoteName writes, from the opening quote at
// `text[at]`: `\"`, `\\` and `\xHH` (a byte) are its escapes. `end` is
// then just past the closing quote; or `problem` says why the text there is
// no such name.
struct QuotedName {
    std::string name;
    std::size_t end = 0;
    std::string problem;
};
QuotedName ReadQuotedName(std::string_view text, std::size_t at);

// The columns a text takes on a terminal: one a character, counting the
// bytes of a UTF-8 text that start characters.
std::size_t DisplayWidth(const std::string& text);

}  // namespace driver
