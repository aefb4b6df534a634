#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/run_files.h"
#include "session/shortcut.h"

namespace driver {

// A command line that cannot be understood.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What morvane-host was asked to do.
struct Invocation {
    enum class Job { Run, Help, Version };
    Job job = Job::Run;
    std::string scenePath;
    std::string sessionPath;          // the session script, or empty for a shortcut
    std::optional<Shortcut> shortcut;
    std::string outputPath;           // -o, or empty; "-" is standard output
    bool diff = false;                // --diff
    std::string svgPath;              // --svg, or empty; "-" is standard output

    // True when the transcript has to give standard output to a file.
    bool WritesToStandardOutput() const { return outputPath == "-" || svgPath == "-"; }
};

// Reads the arguments after the program's name in the conventions of a
// Unix tool: "--" ends the options, "--opt=value" is "--opt value", "-oOUT"
// is "-o OUT". Throws UsageError naming what is wrong: an unknown,
// repeated or misplaced option, a missing or extra argument, a malformed
// value, or an output that would overwrite an input or another output.
Invocation ParseCommandLine(const std::vector<std::string>& arguments);

// The files of the run that the command line names, with `referenced`, the
// files that the scene file refers to. Throws UsageError, naming both, when
// a file that the run writes is one that it needs (see RunFiles).
RunFiles FilesOfRun(const Invocation& invocation, const std::vector<std::string>& referenced);

// The --help and --version texts.
std::string UsageText();
std::string VersionText();

}  // namespace driver
