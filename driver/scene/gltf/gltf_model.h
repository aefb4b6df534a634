#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "object_state.h"
#include "scene/gltf/gltf_accessors.h"
#include "scene/gltf/gltf_animation.h"
#include "scene/gltf/gltf_scanned_trs.h"
#include "scene/gltf/gltf_skins.h"
#include "scene/gltf/gltf_transform.h"
#include "scene/gltf/json_view.h"
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

// A node's index as a node keeps it: 32 bits, as a file holds at most
// kMaxNodes nodes (the reader refuses more). It reads as a std::size_t,
// kNoNode for none.
class NodeIndex {
public:
    NodeIndex() = default;
    NodeIndex(std::size_t index)  // implicit: an index converts both ways
        : value_(index == kNoNode ? kNone : static_cast<std::uint32_t>(index)) {}
    operator std::size_t() const { return value_ == kNone ? kNoNode : value_; }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    std::uint32_t value_ = kNone;
};
constexpr std::size_t kMaxNodes = UINT32_MAX - 1;

// What the tools read of one node of a file, by its index in "nodes"; what
// writing a new transform needs is kept here. A million of them are read
// at once, so they are kept small: the node's name and local transform are
// read again from the text when the scene is built (NameOf,
// LocalTransform). Of the transform, where its arrays are is kept, or, for
// the few nodes read otherwise, the transform itself, in
// GltfModel::keptLocals.
struct NodeEntry {
    Span object;  // the node's JSON object
    NodeIndex parent;
    NodeIndex objectNode;  // the marked child that holds its object
    // The node's children: GltfModel::children from `firstChild` on.
    std::uint32_t firstChild = 0;
    std::uint32_t childCount = 0;
    // The name as written, a JSON string, from the start of `object`.
    std::uint32_t nameAt = 0;
    std::uint32_t nameSize = 0;
    // Where the "translation" (or the "matrix"), "rotation" and "scale"
    // arrays begin, from the start of `object`; 0 where there is none.
    // kKeptLocal in the first: the local transform is in keptLocals.
    std::uint16_t transformAt[3] = {0, 0, 0};
    static constexpr std::uint16_t kKeptLocal = UINT16_MAX;

    std::uint16_t objectKind : 3;     // an ObjectKind: what ObjectClass() gives
    std::uint16_t negativeScale : 3;  // bit i: the node scales axis i by a negative factor
    std::uint16_t named : 1;
    std::uint16_t hasMatrix : 1;          // else translation, rotation and scale
    std::uint16_t ownsObject : 1;         // has a mesh, camera or light (or a skin or weights) itself
    std::uint16_t skinned : 1;            // has a skin: glTF ignores its transform for the mesh
    std::uint16_t holdsObject : 1;        // has a mesh, camera, light or instances, which its pivot does not move
    std::uint16_t holdsParentObject : 1;  // the marked child that holds its parent's object
    std::uint16_t instanced : 1;          // has EXT_mesh_gpu_instancing
    std::uint16_t weighted : 1;           // has morph target weights of its own

    NodeEntry()
        : objectKind(kHelper),
          negativeScale(0),
          named(0),
          hasMatrix(0),
          ownsObject(0),
          skinned(0),
          holdsObject(0),
          holdsParentObject(0),
          instanced(0),
          weighted(0) {}

    // The kinds of object, kept in 3 bits where a SClass_ID takes 7.
    enum ObjectKind : std::uint16_t { kHelper, kGeometry, kCamera, kLight };
    SClass_ID ObjectClass() const {
        constexpr SClass_ID classes[] = {kHelperClass, kGeometryClass, kCameraClass, kLightClass};
        return classes[objectKind];
    }

    // The node's name as written: `text` lies within `object`, which the
    // reader refuses at 4 GiB or more.
    void SetName(Span text) {
        named = 1;
        nameAt = static_cast<std::uint32_t>(text.begin - object.begin);
        nameSize = static_cast<std::uint32_t>(text.end - text.begin);
    }
    Span NameText() const { return {object.begin + nameAt, object.begin + nameAt + nameSize}; }
};

// The children of a node, in their order.
struct ChildRange {
    const std::uint32_t* first;
    const std::uint32_t* last;
    const std::uint32_t* begin() const { return first; }
    const std::uint32_t* end() const { return last; }
    bool empty() const { return first == last; }
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
    // The children of all nodes, each node's together (NodeEntry::firstChild).
    std::vector<std::uint32_t> children;
    // The local transforms that are not read again from the text, by node.
    std::unordered_map<std::size_t, standin::Affine> keptLocals;
    // The translation, rotation and scale that the scan read of a node
    // without a matrix, so that building the scene reads no number twice;
    // dropped with keptLocals.
    ScannedTrs scannedTrs;
    std::optional<Span> nodesArray;
    std::optional<Span> meshesArray;  // read for the boxes that a listing shows
    SceneEntry scene;
    std::vector<UriEntry> uris;
    std::vector<ChannelTarget> channels;  // the animation channels that drive a node
    std::vector<AnimatedParts> animated;  // by node: what of its placement the channels drive
    std::vector<AnimationEntry> animations;
    SkinModel skins;
    BufferModel data;  // read where the file has skins or channels that drive a node

    ChildRange Children(const NodeEntry& node) const {
        const std::uint32_t* first = children.data() + node.firstChild;
        return {first, first + node.childCount};
    }
};

// Reads `json`, the JSON of a glTF 2.0 file. Throws SceneFileError, with
// `source`, the place and the reason, for what the tools cannot read: not
// glTF 2.0, malformed JSON, a node with two parents, a cycle, an index out
// of range, a wrong type in a scene or node member the tools use, a
// transform that is not finite. The rest of the file is not looked at.
// `keepScannedTrs`: the scan's translations, rotations and scales are kept
// for building the scene (GltfModel::scannedTrs), not read again.
GltfModel ReadGltfModel(const std::string& json, const std::string& source, bool keepScannedTrs);

// The local transform of node `index` of `model`, as read from `json`, the
// text that `model` was read from: the same numbers to the last bit.
standin::Affine LocalTransform(const GltfModel& model, const std::string& json, std::size_t index);
// The name of `node`, empty where it has none, as read from `json`.
std::string NameOf(const NodeEntry& node, const std::string& json);

}  // namespace driver::gltf
