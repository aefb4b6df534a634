#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "anim_range.h"
#include "standin/standin_scene.h"

namespace driver {

// A scene as a scene file holds it: the node tree, the selection (pre-order
// indices, in selection order), the animation range and the current time.
struct SceneDocument {
    std::unique_ptr<standin::StandinScene> scene;
    std::vector<std::size_t> selection;
    AnimRange animationRange{0, 100};
    TimeValue currentTime = 0;
};

}  // namespace driver
