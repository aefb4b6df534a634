#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene_document.h"
#include "scene/scene_error.h"
#include "scene/scene_format.h"
#include "standin/standin_scene.h"

namespace driver {

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

// The scene of a file in the project's own format, as the table of scene
// formats reads it; written back, it holds the selection. Throws
// SceneFileError.
std::unique_ptr<SceneFile> ParseProjectScene(const SourceBytes& bytes, const std::string& path, SceneUse);

}  // namespace driver
