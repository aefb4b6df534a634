#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/input_bounds.h"

namespace driver {

// A name, caption, path or argument in double quotes as messages and the
// transcript show it, so that it stays on one line: '"' and '\\' escaped
// with a backslash, control bytes as \xHH, and so is every byte from 0x80
// up in a text that is not UTF-8; other bytes unchanged.
std::string Quoted(const std::string& text);
// The same appended to `out`.
void AppendQuoted(std::string& out, const std::string& text);

// The most of a user's text (a name, a number, a word, a path) that a
// message quotes, in columns of its quoted form.
constexpr std::size_t kQuotedExcerptColumns = BoundOf(InputBound::QuotedColumns);

// A user's text as a message quotes it, so that every message stays one
// short line: Quoted for a text whose quoted form fits in
// kQuotedExcerptColumns columns; else its beginning, an ellipsis and its
// whole length: "Door_Frame_Left_..."... (10485760 bytes).
std::string QuotedExcerpt(const std::string& text);
// The same without the quotes, for a text that a message does not quote (a
// number, a path): cut as in QuotedExcerpt, control bytes escaped as in
// Quoted, quotes and backslashes as they are.
std::string Excerpt(const std::string& text);

// `line` with every control byte (and DEL) but the line end as \xHH, for
// text that reaches the transcript from the tools, the host and the disk.
std::string EscapedControls(const std::string& line);
// Whether EscapedControls would change `line`.
bool HasControls(const std::string& line);
// The same with line feeds escaped too, for a text that must stay on one line.
std::string OnOneLine(const std::string& text);
// `text` as it is when it is UTF-8; else with every byte from 0x80 up as
// \xHH, as Quoted shows a name that is not UTF-8, so that what reaches
// the transcript from the tools is UTF-8 whatever the names.
std::string AsUtf8Text(const std::string& text);

// Reads back a name in the form Quoted writes, from the opening quote at
// `text[at]`: `\"`, `\\` and `\xHH` (a byte) are its escapes. `end` is
// then just past the closing quote; or `problem` says why the text there is
// no such name.
struct QuotedName {
    std::string name;
    std::size_t end = 0;
    std::optional<std::string> problem;
};
QuotedName ReadQuotedName(std::string_view text, std::size_t at);

// The columns a text takes on a terminal: one a character, counting the
// bytes of a UTF-8 text that start characters.
std::size_t DisplayWidth(const std::string& text);

}  // namespace driver
