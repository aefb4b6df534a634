#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "session/shortcut.h"
#include "text/refusal.h"

namespace driver {

// A command line that cannot be understood.
class UsageError : public CodedError {
public:
    explicit UsageError(const std::string& message) : CodedError(RefusalCode::Usage, message) {}
};

struct CommandRow;

// The commands of morvane-host: a session run (SCENE SESSION, no name of
// its own), the tools' shortcuts (tools/tool_row.h), the list and the viewer.
enum class Command { Session, Shortcut, List, View };

// What morvane-host was asked to do.
struct Invocation {
    enum class Job { Run, Help, Version };
    Job job = Job::Run;
    const CommandRow* helpOf = nullptr;  // the command whose help alone Job::Help prints, or null for all
    Command command = Command::Session;
    std::string scenePath;
    std::string sessionPath;                  // the session script, or empty for a shortcut
    std::optional<Shortcut> shortcut;         // of Command::Shortcut
    std::string outputPath;                   // -o, or empty; "-" is standard output, by any of its names
    bool diff = false;                        // --diff
    bool quiet = false;                       // --quiet
    bool json = false;                        // --json of list
    std::string svgPath;                      // --svg, or empty; "-" is standard output, by any of its names
    int port = 0;                             // --port of view; 0: any free port
    bool openBrowser = false;                 // --open of view
    std::vector<std::string> allowedFolders;  // --allow of view

    // True when the transcript has to give standard output to a file.
    bool WritesToStandardOutput() const {
        return outputPath == "-" || svgPath == "-" || (shortcut && shortcut->namesToStandardOutput);
    }
};

}  // namespace driver
