#pragma once

#include <ostream>

#include "scene/scene_format.h"

namespace driver {

// The tree of a scene as `morvane-host list` prints it, a node a line in
// pre-order: the index that --select takes, indented two spaces a level
// down to 20 levels (a deeper line is indented as the 20th, then says how
// much deeper it is: "+3 "), the name as the transcript quotes it, what the
// node holds ("mesh", "camera", "light", and what the format adds, such as
// "skin"; "joint" for a joint of a skin), its pivot in the world ("pivot
// (1,0,2)", and its axes where they are not the world's: "axes (0,0,-1)
// (0,1,0) (1,0,0)"; not for the root), the box it draws in, where the
// format tells it ("box (-1,0,-0.5)..(1,0.8,0.5)", world units), the same
// box in its object's own frame ("object box (0,0,0)..(2,1,1)"), and where
// the file has it ("nodes[3]"). Written as it is made, so that a large
// scene costs no text of its own; the text is linear in the number of
// nodes and the length of their names at any depth. `file` is read for
// SceneUse::Listed, for the boxes.
void WriteSceneListing(SceneFile& file, std::ostream& out);

// The same as JSON: {"nodes": [{"index", "depth", "parent", "name",
// "quoted", "holds", "source", "pivot", "bounds", "objectBox"}, ...]};
// "name" is null for a name that is not UTF-8, "quoted" is always there, in
// ASCII as the transcript shows it, "parent" is null for the root, "pivot"
// is {"position": [x, y, z], "axes": [[X], [Y], [Z]]} (the root's too),
// and "bounds" and "objectBox" are {"min": [x, y, z], "max": [x, y, z]},
// or null where the node draws nothing or the format does not tell its box.
void WriteSceneListingJson(SceneFile& file, std::ostream& out);

}  // namespace driver
