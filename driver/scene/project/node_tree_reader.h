#pragma once

#include "scene/project/scene_text.h"
#include "standin/standin_scene.h"

namespace driver {

// Reads the value of "root", the node tree, into `scene`, whose root it
// names and places. Each node is made when its object opens, which is its
// place in pre-order. The nodes being read are kept on a stack of their
// own, so the file's depth costs no call stack.
void ReadNodeTree(SceneText& text, standin::StandinScene& scene);

}  // namespace driver
