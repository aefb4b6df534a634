#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/json_edit.h"

// What belongs to a glTF node's object, which a pivot edit keeps where it
// is by moving it onto a child of its own: the mesh with its morph weights
// and GPU instances, the camera, the lights. What else a node holds (its
// skin, its children, its name, extras, other extensions) stays with it.
namespace driver::gltf {

// A node extension that belongs to the node's object: KHR_lights_punctual,
// EXT_lights_ies (lights), EXT_mesh_gpu_instancing (instances of the mesh).
bool IsObjectExtension(const std::string& name);

// The changes that take the object off `node`, and the text of the new
// node, of index `child`, that holds it, with the transform members
// `local` and extras marking it as the object of node `parent`.
struct ObjectMove {
    std::vector<MemberChange> nodeChanges;
    std::string child;
};
ObjectMove MoveObject(const JsonValue& node, std::size_t parent, std::size_t child,
                      const std::vector<MemberChange>& local);

// The new text of `target`'s value where it drives something that moved
// from node `from` onto node `to` (morph weights, or what a pointer reaches
// in the object); none where it stays.
std::optional<std::string> RetargetedChannel(const ChannelTarget& target, std::size_t from, std::size_t to);

}  // namespace driver::gltf
