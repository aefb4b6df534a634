#pragma once

#include <memory>
#include <string>

#include "scene/scene_format.h"

namespace driver::gltf {

// The scene of a glTF 2.0 file, glTF JSON or GLB, as the table of scene
// formats reads it. Written back, the file keeps everything the tools did
// not change. Throws SceneFileError.
std::unique_ptr<SceneFile> ParseGltfScene(const SourceBytes& bytes, const std::string& path, SceneUse use);
std::unique_ptr<SceneFile> ParseGlbScene(const SourceBytes& bytes, const std::string& path, SceneUse use);

}  // namespace driver::gltf
