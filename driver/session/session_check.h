#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/run_files.h"
#include "hosting/session_host.h"
#include "session/action.h"

namespace driver {

// Checks a whole run before its first action, so that one that cannot be
// run fails before anything is done. Throws SessionError, starting with
// the origin of the action, for: a node index outside the scene; an "open"
// of a file that is not a tool library, or while a tool is open; "close",
// "press", "radio" or "rightclick" with no tool open; a caption that the
// panel of the tool open at that point does not have; a "save" to a file
// that cannot be written or is not named for the scene's format; a "save",
// or a names file that a press of the names tool saves or loads with the
// answer it takes, that is a file of the run it must not be (see
// RunFiles), to which it is added. Finds the nodes of each "select-name" by the names they
// have before the run, and refuses a pattern that fits none (or the root
// alone). Loads the tools it meets.
void CheckSession(std::vector<Action>& actions, SessionHost& host, RunFiles& files);

// The same check for a run whose actions come one at a time (a viewer's
// clicks): each action is checked against those checked before it.
class SessionChecker {
public:
    SessionChecker(SessionHost& host, RunFiles& files);
    ~SessionChecker();
    SessionChecker(const SessionChecker&) = delete;
    SessionChecker& operator=(const SessionChecker&) = delete;

    // Throws SessionError for an action that cannot run; the actions
    // checked before stay checked (a press refused for its names file has
    // still taken its answer).
    void Check(Action& action);
    // Checks `actions` as if they came next, on a copy of what this check
    // knows, which it leaves as it was: each action keeps what its check
    // learns (the dialog that a press opens), up to one that is refused.
    void Foresee(std::vector<Action>& actions) const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace driver
