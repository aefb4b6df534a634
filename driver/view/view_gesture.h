#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "session/action.h"

namespace driver {

// A names file that a gesture's press read (a copy, as read) or wrote.
struct ViewNamesFile {
    std::size_t answer = 0;  // the answer's place in the gesture's actions; the press follows it
    bool saved = false;
    std::string path;  // as the dialog chose it
    std::string copy;  // a loaded file as it was read
};

// A gesture as it stands: its actions, the lines it gave when it ran, and
// its names files.
struct ViewGesture {
    std::vector<Action> actions;
    std::vector<std::string> lines;     // as it gave them when it ran
    std::vector<std::string> warnings;  // of those lines
    std::vector<ViewNamesFile> files;

    // The actions as a replay runs them: a load reads its copy, a save is
    // left out (its file was written when it ran).
    std::vector<Action> Kept() const;
};

// The nodes that a gesture changed, with what changed of each.
struct ViewChanges {
    std::map<std::size_t, std::vector<const char*>> nodes;
    void Add(std::size_t index, const char* aspect = nullptr);
};

// The tool that the gestures leave open, by the name that opened it.
std::optional<std::string> ToolLeftOpen(const std::vector<ViewGesture>& gestures);

// The answer of a gesture that ends in an answer and its press, or null.
const AnswerDialog* FinalAnswer(const std::vector<Action>& actions);

// What the viewer takes beyond a session's rules: tools only from the
// plug-in folder, and the scene kept by Save rather than by "save". Throws
// SessionError.
void CheckViewerRules(const Action& action);

// The nodes that `patterns` find among `names` (pre-order, the root's
// first), as a session's check finds them: each pattern's in pre-order, the
// patterns in their order, each node once, never the root.
std::vector<std::size_t> NodesFoundByPatterns(const std::vector<std::string>& patterns,
                                              const std::vector<std::string>& names);

// The page's "select-name" finds the nodes by the names they have now, but
// a session run finds them by the names the scene had when it was read
// (`startNames`): a line that would find others there stands as the
// "select" of the nodes found, so that the session replays to the same
// selection. A "select-path" always stands so: paths are found by the
// names of now.
void StandAsReplayed(Action& action, const std::vector<std::string>& startNames);

}  // namespace driver
