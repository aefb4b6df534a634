#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "session/action.h"
#include "scene/node_state.h"

namespace driver {

// The transcript of a run: each action as it is echoed, followed by the
// notes of what it did, indented by four spaces; after the actions, the
// changes per node and the files written. Notes come from what the host,
// the tools and their dialogs did, never from a look at the disk. Every
// control byte (and DEL) of what it writes, but the line ends, shows as
// \xHH, so that a line is one line.
class Transcript {
public:
    explicit Transcript(std::ostream& out) : out_(out) {}

    // "line 5: press Align" for a session's action, "step 3: press Align"
    // for a shortcut's (the `step`th action, from 1).
    void Echo(const Action& action, std::size_t step);
    void Note(const std::string& note);
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
    std::ostream& out_;
    std::size_t notes_ = 0;
    std::string line_;  // the note being written
};

}  // namespace driver
