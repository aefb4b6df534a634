#pragma once

#include "interface.h"
#include "scene_node.h"

namespace pivot_tool {

// Gives `node` the placement of `namesake` at the edit time (the start of
// the animation range, asked anew before every call that takes a time):
// its position, the directions of its axes and the lengths of its axis
// rows, by moves and turns about the origin of the root's axes and scales
// along the node's own axes. A node and namesake of opposite handedness
// (one of them mirrored) are told apart by a negative final scale along
// one of the node's axes (Z for axes at right angles). Runs inside the caller's redraw batch and asks for no
// redraw. A node or namesake that cannot take these steps (a row without a
// direction or length, axes that span no space, axes that meet at other
// angles than the namesake's, a value that is not finite) leaves the node
// unchanged, and the host's log says why.
void AlignNodeTo(Interface& ip, SceneNode& node, SceneNode& namesake);

}  // namespace pivot_tool
