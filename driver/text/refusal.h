#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace driver {

// Why a job was not done, by kind: each kind has one exit status and one
// HTTP status, in the table of refusal.cpp. The exit statuses tell a script
// what to do next: 1 the content refuses the job (the same command on
// another scene may do it), 2 the command line is wrong, 4 a file cannot be
// read, parsed or written.
enum class RefusalCode {
    Usage,              // the command line is wrong
    SelectionConflict,  // a shortcut's selection holds a node and its namesake
    NoMatch,            // the scene lacks what the job names: a node, a namesake, a count
    BadSession,         // a session line that cannot be parsed or run in its order
    BadScene,           // a scene file that cannot be read as its format
    FileMissing,        // a file to be read is missing or cannot be read
    NotWritable,        // a file to be written cannot be
    WrongFormat,        // a file name that the scene's format is not written to
    OutsideReach,       // a path outside the folders the viewer reaches
    FileClash,          // a file that the run writes is one that it needs
    NotDone,            // the tools ran, and the job was not done
    Unsaved,            // edits stand that no Save has written
    NoOutput,           // Save without a file to save to
    NoPort,             // the viewer cannot listen where it must
    TooLarge,           // an input or a request beyond its bound (text/input_bounds.h)
    NotFound,           // no such route of the viewer
    Forbidden,          // a request without the token, or from another origin
    NoTool,             // a tool library that cannot be loaded
    PluginFault,        // a plug-in that crashed, ended its process or did not return
    OutOfMemory,
    ReaderGone,  // standard output's reader has gone: nothing to report to
    Failed,      // any other failure
};

// A refusal: its kind and the message that users see.
struct Refusal {
    RefusalCode code = RefusalCode::Failed;
    std::string message;
};

// The code as the viewer's API gives it ("usage", "file-missing", ...).
const char* CodeName(RefusalCode code);
// The status that morvane-host ends with, and the viewer's HTTP answer.
int ExitStatusOf(RefusalCode code);
int HttpStatusOf(RefusalCode code);
// What --help says of the refusals that end a run with `status`, in the
// table's order; none for a status that no refusal ends with.
std::vector<const char*> RefusalsShown(int status);

// An error thrown inside a reader or a check, and caught at the run's
// boundary, which answers it through the table by its code.
class CodedError : public std::runtime_error {
public:
    CodedError(RefusalCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    RefusalCode Code() const { return code_; }
    Refusal AsRefusal() const { return {code_, what()}; }

private:
    RefusalCode code_;
};

// Any exception that reached a boundary, as a refusal: a CodedError by its
// code, running out of memory as OutOfMemory, any other as Failed.
Refusal RefusalOf(const std::exception& error);

}  // namespace driver
