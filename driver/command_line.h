#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "session.h"

namespace driver {

// A command line that cannot be understood.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What morvane-host was asked to do.
struct Invocation {
    bool help = false;
    std::string command;             // the shortcut's name ("align", ...), or empty
    std::string scenePath;
    std::string sessionPath;         // a session script, or empty for a shortcut
    std::vector<Action> shortcut;    // the actions of a shortcut command
    std::string outputPath;          // -o
    bool diff = false;               // --diff
    std::string svgPath;             // --svg
};

Invocation ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text.
std::string UsageText();

}  // namespace driver
