#pragma once

#include <string>

namespace driver {

// morvane-host list SCENE [--json]: prints the scene's tree to standard
// output (scene/scene_listing.h). Returns the exit status; throws what
// reading the scene throws.
int RunList(const std::string& scenePath, bool json);

}  // namespace driver
