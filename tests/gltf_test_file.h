#pragma once

// glTF texts read in the tests' own process, through the driver's table of
// scene formats.
#include <memory>
#include <string>
#include <vector>

#include "node_matrix.h"
#include "scene/scene_format.h"

namespace gltftest {

inline std::unique_ptr<driver::SceneFile> Read(const std::string& bytes, const std::string& path = "scene.gltf") {
    return driver::ParseScene(bytes, path);
}

inline std::vector<standin::StandinNode*> Nodes(driver::SceneFile& file) { return file.Document().scene->PreOrder(); }

inline NodeMatrix Rows(Point3 x, Point3 y, Point3 z, Point3 t) { return NodeMatrix{{x, y, z, t}}; }

// A glTF 2.0 text of the members `rest`.
inline std::string Gltf(const std::string& rest) { return R"({"asset": {"version": "2.0"}, )" + rest + "}"; }

}  // namespace gltftest
