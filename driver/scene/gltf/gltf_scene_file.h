#pragma once

#include <memory>
#include <string>

#include "scene/scene_format.h"

namespace driver::gltf {

// True for a glTF file: GLB magic in `bytes`, or a ".gltf" or ".glb" `path`.
bool IsGltfScene(const std::string& bytes, const std::string& path);

// The scene of a glTF 2.0 file: GLB where `bytes` begin with the GLB magic
// or `path` ends in ".glb", else glTF JSON. Written back, the file keeps
// everything the tools did not change. Throws SceneFileError.
std::unique_ptr<SceneFile> ParseGltfScene(const std::string& bytes, const std::string& path);

}  // namespace driver::gltf
