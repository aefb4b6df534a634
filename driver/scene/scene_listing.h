#pragma once

#include <ostream>

#include "scene/scene_format.h"

namespace driver {

// The tree of a scene as `morvane-host list` prints it, a node a line in
// pre-order: the index that --select takes, indented two spaces a level,
// the name as the transcript quotes it, what the node holds ("mesh",
// "camera", "light", and what the format adds, such as "skin"; "joint" for
// a joint of a skin), and where the file has it ("nodes[3]"). Written as it
// is made, so that a large scene costs no text of its own.
void WriteSceneListing(SceneFile& file, std::ostream& out);

// The same as JSON: {"nodes": [{"index", "depth", "parent", "name",
// "quoted", "holds", "source"}, ...]}; "name" is null for a name that is
// not UTF-8, "quoted" is always there, in ASCII as the transcript shows
// it, and "parent" is null for the root.
void WriteSceneListingJson(SceneFile& file, std::ostream& out);

}  // namespace driver
