#pragma once

#include <string>

#include "interface.h"
#include "scene_node.h"

namespace pivot_tool {

// Tells the host's system log, as a warning under the tool's name that is
// not shown to the user, that `node` cannot take `edit` and why:
// "NAME" cannot take EDIT: REASON, the name quoted by QuotedForLog.
void LogRefusal(Interface& ip, SceneNode& node, const char* edit, const std::string& reason);

}  // namespace pivot_tool
