#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "session/action.h"

namespace driver {

// A session or a shortcut that cannot be run; the message starts with the
// origin of the action ("demo.session:5: ", "--select: ").
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The actions of a session script: one a line; blank lines and lines
// starting with '#' are skipped. Unknown verbs and malformed arguments are
// refused with a SessionError naming the line.
std::vector<Action> ParseSession(const std::string& text, const std::string& source);
std::vector<Action> ReadSession(const std::string& path);

}  // namespace driver
