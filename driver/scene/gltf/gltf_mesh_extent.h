#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_model.h"
#include "scene/gltf/json_view.h"
#include "scene/world_box.h"

// A mesh's box as the "min" and "max" of its POSITION accessors tell it,
// its morph targets' included at given weights; no vertex is read.
namespace driver::gltf::bounds {

// The string a JSON value holds; none for any other value.
std::optional<std::string> StringIn(const std::optional<JsonValue>& value);
bool IsTrue(const std::optional<JsonValue>& value);
// The numbers of a JSON array; none where it is no array of finite numbers.
std::optional<std::vector<double>> Numbers(const std::optional<JsonValue>& value);

// The file's arrays that the boxes read from.
struct FileArrays {
    std::vector<JsonValue> meshes, accessors, views;

    static std::optional<JsonValue> At(const std::vector<JsonValue>& list, std::optional<std::size_t> index) {
        return index && *index < list.size() && list[*index].Is(JsonValue::Kind::Object) ? std::optional(list[*index])
                                                                                         : std::nullopt;
    }
};
FileArrays ArraysOf(const GltfModel& model, const std::string& json);

// A mesh as far as its box needs it: each primitive's box, and the box of
// each morph target's displacements (none for a target that moves no
// vertex), with the mesh's default weights.
struct Primitive {
    WorldBox base;
    std::vector<std::optional<WorldBox>> targets;
};
struct MeshExtent {
    std::vector<Primitive> primitives;
    std::vector<double> weights;
};

// None where a primitive's positions, or a target's, have no box.
std::optional<MeshExtent> ReadMesh(const FileArrays& arrays, std::size_t index);

// The mesh's box at `weights`: each primitive's, moved by each target's
// displacements times its weight, at their least and greatest.
std::optional<WorldBox> MeshBox(const MeshExtent& mesh, const std::vector<double>& weights);

}  // namespace driver::gltf::bounds
