#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_transform.h"
#include "scene/gltf/json_view.h"
#include "object_state.h"
#include "scene/scene_format.h"

namespace driver::gltf {

constexpr std::size_t kNoNode = static_cast<std::size_t>(-1);

// The super-class numbers of what a glTF node holds: a mesh, a camera, a
// KHR_lights_punctual light, or nothing (a helper).
constexpr SClass_ID kGeometryClass = GEOMOBJECT_CLASS_ID;
constexpr SClass_ID kCameraClass = 0x20;
constexpr SClass_ID kLightClass = 0x30;
constexpr SClass_ID kHelperClass = 0x40;

// The key in a node's "extras" that marks it as the node that holds its
// parent's object, moved there because the parent's pivot left it; the
// value is the parent's index.
constexpr const char* kObjectOfKey = "morvaneObjectOf";

// What the tools read of one node of a file, by its index in "nodes". Its
// local transform is kept apart, in GltfModel::locals, until the scene is
// built from it; what writing a new one needs is kept here.
struct NodeEntry {
    Span object;  // the node's JSON object
    std::size_t parent = kNoNode;
    std::vector<std::size_t> children;
    std::string name;
    Span nameText;  // the name as written, a JSON string, where the node is named
    bool named = false;
    bool hasMatrix = false;        // else translation, rotation and scale
    std::uint8_t negativeScale = 0;  // bit i: the node scales axis i by a negative factor
    bool ownsObject = false;       // has a mesh, camera or light (or a skin or weights) itself
    bool skinned = false;          // has a skin: glTF ignores its transform for the mesh
    bool holdsObject = false;      // has a mesh, camera, light or instances, which its pivot does not move
    bool holdsParentObject = false;  // the marked child that holds its parent's object
    SClass_ID objectClass = kHelperClass;
    std::size_t objectOf = kNoNode;    // the node its extras mark it as holding the object of
    std::size_t objectNode = kNoNode;  // the marked child that holds its object
};

// A translation, rotation and scale with the signs of scale of a node's
// `negativeScale`, for a new transform to mirror the axes that it mirrors.
Trs SignsOfScale(std::uint8_t negativeScale);

// The scene the tools work on: "scenes"["scene"], or the first scene where
// "scene" is not given.
struct SceneEntry {
    std::optional<std::size_t> index;  // none when the file has no scenes
    Span object;
    bool named = false;
    std::string name;
    std::vector<std::size_t> roots;
};

// A URI of a buffer or an image: where it is in the text and what it says.
struct UriEntry {
    std::string where;  // "buffers[0].uri"
    Span value;
    std::string uri;
};

// What the tools read of a glTF file's JSON.
struct GltfModel {
    // A deque: a node keeps its place while a large file is read.
    std::deque<NodeEntry> nodes;
    // By node. One block, which goes back to the system as a whole once the
    // scene is built from it.
    std::vector<standin::Affine> locals;
    std::optional<Span> nodesArray;
    SceneEntry scene;
    std::vector<UriEntry> uris;
    std::vector<ChannelTarget> channels;  // the animation channels that drive a node
    std::vector<AnimatedParts> animated;  // by node: what of its placement the channels drive
};

// Reads `json`, the JSON of a glTF 2.0 file. Throws SceneFileError, with
// `source`, the place and the reason, for what the tools cannot read: not
// glTF 2.0, malformed JSON, a node with two parents, a cycle, an index out
// of range, a wrong type in a scene or node member the tools use, a
// transform that is not finite. The rest of the file is not looked at.
GltfModel ReadGltfModel(const std::string& json, const std::string& source);

}  // namespace driver::gltf
