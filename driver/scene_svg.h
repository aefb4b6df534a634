#pragma once

#include <string>

#include "scene_snapshot.h"

namespace driver {

// An SVG picture of a scene before and after a session: the top view
// (looking down Z) and the front view (looking along Y) of each. Every
// node's pivot is an X/Y/Z tripod (red, green, blue), its object a grey
// square where it sits, joined to the pivot when they are apart; nodes that
// changed are ringed in orange.
std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after);

}  // namespace driver
