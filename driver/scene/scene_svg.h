#pragma once

#include <string>

#include "scene/node_state.h"

namespace driver {

// An SVG picture of a scene before and after a session: the top view
// (looking down Z) and the front view (looking along Y) of each, with a
// legend. Every node's pivot is an X/Y/Z tripod (red, green, blue), its
// object a grey square where it sits, joined to the pivot by a dashed line
// when they are apart, and its label is "INDEX NAME" (labels on one spot
// are stacked). In the after views, changed nodes have orange bold labels
// and an orange dashed trail from where their pivot was.
std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after);

}  // namespace driver
