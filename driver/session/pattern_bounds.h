#pragma once

#include <string>
#include <vector>

#include "session/action.h"

namespace driver {

// Refuse patterns past their bounds (text/input_bounds.h) before any is
// tried on a node, so that the time of a select stays a bounded multiple
// of the scene's size: the names of one select-name with '*' or '?' (each
// is tried on every node), the bytes of each pattern, and the steps and
// "**" steps of each path (each "**" may stand at any depth of a chain).
void CheckNameBounds(const std::vector<std::string>& patterns, const Origin& origin);
void CheckPathBounds(const std::vector<std::string>& paths, const Origin& origin);

}  // namespace driver
