#pragma once

#include <memory>
#include <stdexcept>
#include <string>
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

// A scene file that cannot be read; the message names the place.
class SceneFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the text of a scene file. `source` names it in error messages.
SceneDocument ParseSceneFile(const std::string& text, const std::string& source);
SceneDocument ReadSceneFile(const std::string& path);

// The text of a scene file for the scene, its selection and its times.
// Numbers are written so that they read back to the same single-precision
// values; the output of a parse and write of this text is the same text.
std::string WriteSceneFile(standin::StandinScene& scene, const std::vector<std::size_t>& selection,
                           AnimRange animationRange, TimeValue currentTime);

}  // namespace driver
