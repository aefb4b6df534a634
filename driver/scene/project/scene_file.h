#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "anim_range.h"
#include "json/json_reader.h"
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

// Where in a scene file a problem lies, as far as it is known: the line and
// column (for formats of text), the node by its pre-order index, and the
// node's name once it has been read.
struct ScenePlace {
    std::optional<TextPlace> text;
    std::optional<std::size_t> node;
    std::optional<std::string> name;
};

// The one notation of scene file errors, for every format:
// "FILE:LINE:COLUMN: node 5 "Chair": WHAT", each part present where known.
std::string SceneErrorText(const std::string& path, const ScenePlace& place, const std::string& what);

// Parses the text of a scene file. `source` names it in error messages.
// Reading takes time linear in the text's size, at any depth of nodes.
SceneDocument ParseSceneFile(const std::string& text, const std::string& source);
// The same for the file at `path`; throws InputFileError when it cannot be read.
SceneDocument ReadSceneFile(const std::string& path);

// The text of a scene file for the scene, its selection and its times.
// Numbers are written so that they read back to the same single-precision
// values; the output of a parse and write of this text is the same text.
// Indentation stops growing at a depth, so a node takes the same room at
// any depth.
std::string WriteSceneFile(standin::StandinScene& scene, const std::vector<std::size_t>& selection,
                           AnimRange animationRange, TimeValue currentTime);

}  // namespace driver
