#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "point3.h"

namespace driver {

// One action of a session script: a line such as "press Align".
struct Action {
    enum class Kind { Open, Close, Select, Press, Radio, Click, RightClick, EndPick, Answer, Save, Print };

    Kind kind = Kind::Print;
    int line = 0;                      // line number in the script, from 1
    std::string text;                  // the line as written, trimmed
    std::string argument;              // the rest of the line after the verb
    std::vector<std::size_t> indices;  // select
    Point3 point;                      // click
    bool cancel = false;               // answer cancel
};

// A session script or an action that cannot be run; the message starts
// with "SOURCE:LINE:".
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The actions of a script: one a line; blank lines and lines starting with
// '#' are skipped. Unknown verbs and malformed arguments are refused.
std::vector<Action> ParseSession(const std::string& text, const std::string& source);
std::vector<Action> ReadSession(const std::string& path);

}  // namespace driver
