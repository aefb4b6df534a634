#pragma once

#include <string>
#include <vector>

#include "action.h"
#include "session_host.h"

namespace driver {

// Checks a whole run before its first action, so that one that cannot be
// run fails before anything is done. Throws SessionError, starting with
// the origin of the action, for: a node index outside the scene; an "open"
// of a file that is not a tool library, or while a tool is open; "close",
// "press", "radio" or "rightclick" with no tool open; a caption that the
// panel of the tool open at that point does not have; a "save" to a file
// that cannot be written or is one of `inputs`. Loads the tools it meets.
void CheckSession(const std::vector<Action>& actions, SessionHost& host, const std::vector<std::string>& inputs);

}  // namespace driver
