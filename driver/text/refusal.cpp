#include "text/refusal.h"

#include <new>

namespace driver {

namespace {

struct RefusalRow {
    RefusalCode code;
    const char* name;
    int exitStatus;
    int httpStatus;
    const char* shown;  // what --help says of it; null for the viewer's own
};

// One row a code, in the order of the enum. Status 1: the content refuses
// the job; 2: the command line is wrong; 4: a file cannot be read, parsed
// or written.
constexpr RefusalRow kRefusals[] = {
    {RefusalCode::Usage, "usage", 2, 400, "an unknown command or option, a missing or malformed value"},
    {RefusalCode::SelectionConflict, "selection-conflict", 1, 409,
     "an align selection that holds a node and the namesake whose place it would take"},
    {RefusalCode::NoMatch, "no-match", 1, 400,
     "no node that a selection names, a node of align without a namesake, a selection of pivot that is "
     "not one node, a NAMES whose number of lines is not the scene's number of nodes"},
    {RefusalCode::BadSession, "bad-session", 4, 400, "a session that cannot be parsed or run in its order"},
    {RefusalCode::BadScene, "bad-scene", 4, 422, "a scene that cannot be parsed as its format"},
    {RefusalCode::FileMissing, "file-missing", 4, 404,
     "a file to read that is missing or cannot be read (also as an open dialog refuses it)"},
    {RefusalCode::NotWritable, "not-writable", 4, 409,
     "a file to write that cannot be written (also as a save dialog refuses it)"},
    {RefusalCode::WrongFormat, "wrong-format", 2, 400, "a file named for a format it is not written in"},
    {RefusalCode::OutsideReach, "outside-reach", 1, 403, nullptr},
    {RefusalCode::FileClash, "file-clash", 2, 409, "a file to write that the run reads or writes too"},
    {RefusalCode::NotDone, "not-done", 1, 409,
     "an action that was not done: a disabled control, a refused click, an edit that the tool refused or "
     "that glTF cannot carry, an error in a tool's log"},
    {RefusalCode::Unsaved, "unsaved", 1, 409, nullptr},
    {RefusalCode::NoOutput, "no-output", 1, 409, nullptr},
    {RefusalCode::NoPort, "no-port", 1, 503, "no port for the viewer to listen on"},
    {RefusalCode::TooLarge, "too-large", 1, 413, nullptr},
    {RefusalCode::NotFound, "not-found", 1, 404, nullptr},
    {RefusalCode::Forbidden, "forbidden", 1, 403, nullptr},
    {RefusalCode::NoTool, "no-tool", 4, 500, "a plug-in that cannot be loaded"},
    {RefusalCode::PluginFault, "plugin-fault", 1, 500,
     "a plug-in that crashed, ended its process or did not return from a call"},
    {RefusalCode::OutOfMemory, "out-of-memory", 1, 503, "too little memory"},
    // As a process that SIGPIPE ends (128 + 13), which it stands for where
    // the signal is ignored; the reader, having gone, hears nothing.
    {RefusalCode::ReaderGone, "reader-gone", 141, 500, nullptr},
    {RefusalCode::Failed, "failed", 1, 500, "any other failure"},
};

constexpr bool InEnumOrder() {
    int row = 0;
    for (const RefusalRow& refusal : kRefusals) {
        if (static_cast<int>(refusal.code) != row++) {
            return false;
        }
    }
    return row == static_cast<int>(RefusalCode::Failed) + 1;
}
static_assert(InEnumOrder(), "one row a code, in the order of the enum, Failed last");

const RefusalRow& RowOf(RefusalCode code) { return kRefusals[static_cast<int>(code)]; }

}  // namespace

const char* CodeName(RefusalCode code) { return RowOf(code).name; }
int ExitStatusOf(RefusalCode code) { return RowOf(code).exitStatus; }
int HttpStatusOf(RefusalCode code) { return RowOf(code).httpStatus; }

std::vector<const char*> RefusalsShown(int status) {
    std::vector<const char*> shown;
    for (const RefusalRow& row : kRefusals) {
        if (row.exitStatus == status && row.shown != nullptr) {
            shown.push_back(row.shown);
        }
    }
    return shown;
}

Refusal RefusalOf(const std::exception& error) {
    if (const auto* coded = dynamic_cast<const CodedError*>(&error)) {
        return coded->AsRefusal();
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return {RefusalCode::OutOfMemory, "out of memory"};
    }
    return {RefusalCode::Failed, error.what()};
}

}  // namespace driver
