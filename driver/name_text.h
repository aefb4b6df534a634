#pragma once

#include <cstddef>
#include <string>

namespace driver {

// A name in double quotes as messages and the transcript show it: '"' and
// '\\' escaped with a backslash, control bytes as \xHH, and so is every
// byte from 0x80 up in a name that is not UTF-8; other bytes unchanged.
std::string QuoteName(const std::string& name);

// The columns a text takes on a terminal: one a character, counting the
// bytes of a UTF-8 text that start characters.
std::size_t DisplayWidth(const std::string& text);

}  // namespace driver
