#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "scene/node_state.h"
#include "session/action.h"

namespace driver {

// The transcript of a run: each action as it is echoed, followed by the
// notes of what it did, indented by four spaces; after the actions, the
// changes per node and the files written. Notes come from what the host,
// the tools and their dialogs did, never from a look at the disk. Every
// control byte (and DEL) of what it writes, but the line ends, shows as
// \xHH, so that a line is one line.
//
// A quiet transcript (--quiet) keeps only the kept notes, each after the
// echo of its action, the end lines, what was asked for by name (the
// changes of --diff, the table of "print"), and no "written:" lines: the
// run ends with a summary line instead.
class Transcript {
public:
    // The lines written, as data, for a front end that shows them itself:
    // each without its line end; the warnings also on their own.
    struct Lines {
        std::vector<std::string> lines;
        std::vector<std::string> warnings;
    };

    explicit Transcript(std::ostream& out, bool quiet = false) : out_(out), quiet_(quiet) {}
    // From now on every line written is also added to `lines` (none: no
    // longer); the caller keeps it alive and empties it when it likes.
    void RecordTo(Lines* lines) { record_ = lines; }

    // "line 5: press Align" for a session's action, "step 3: press Align"
    // for a shortcut's (the `step`th action, from 1).
    void Echo(const Action& action, std::size_t step);
    void Note(const std::string& note);
    // A note that a quiet transcript keeps too: a warning, or why the run
    // is not done.
    void KeptNote(const std::string& note);
    // A kept note that warns of what the tools did ("warning: ...").
    void Warning(const std::string& note);
    bool Quiet() const { return quiet_; }
    // Notes since the last Echo.
    std::size_t NotesOfAction() const { return notes_; }
    // Text that is not a note, such as the table of "print".
    void Raw(const std::string& text);
    // A line of the run's end: "end: ...".
    void End(const std::string& line);

    // "changes:" and every node that differs from the start of the run.
    void Changes(const std::vector<NodeChange>& changes);
    // "written: FILE".
    void Written(const std::string& path);

private:
    void Write(const std::string& note);
    // Writes `line` and its line end.
    void Line(const std::string& line);
    void Record(const std::string& text);

    std::ostream& out_;
    bool quiet_;
    std::string echo_;  // quiet: the running action's echo, until a kept note needs it
    std::size_t notes_ = 0;
    std::string line_;  // the note being written
    Lines* record_ = nullptr;
};

}  // namespace driver
