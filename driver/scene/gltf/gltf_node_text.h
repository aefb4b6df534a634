#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/json_edit.h"
#include "scene/gltf/json_view.h"
#include "standin/transform_math.h"

namespace driver::gltf {

// What writing a glTF node back needs of what was read: where its object
// and its name lie in the text, and the form of its transform.
struct NodeText {
    static constexpr std::uint32_t kNone = UINT32_MAX;

    Span Object() const { return {objectBegin, objectBegin + objectSize}; }
    // The name as written, empty where the node has none.
    Span Name() const { return {nameBegin, nameBegin + nameSize}; }

    // Spans in a few bytes: a node's text is far shorter than 4 GiB.
    std::size_t objectBegin = 0;
    std::size_t nameBegin = 0;
    std::uint32_t objectSize = 0;
    std::uint32_t nameSize = 0;
    std::uint32_t objectNode = kNone;  // the marked child that holds its object
    std::uint8_t negativeScale = 0;
    bool hasMatrix = false;
    bool holdsObject = false;
    bool skinned = false;
};

struct GltfModel;

// What writing back needs of each of the model's nodes, by index.
std::vector<NodeText> NodeTextsOf(const GltfModel& model);

// Whether `name` is the node's name as read from `json`, its file's text
// ("" where it has none).
bool NamedAsRead(const std::string& json, const NodeText& node, const std::string& name);

// The members that give a node of `like`'s form (matrix, or translation,
// rotation and scale) the local transform `local`; none for shear. The
// numbers are single precision; a default translation, rotation or scale
// is left out, and for a `fresh` node (one the tools add) so is a rotation
// or scale that differs from the default by rounding only.
std::optional<std::vector<MemberChange>> LocalMembers(const standin::Affine& local, const NodeText& like,
                                                      bool fresh = false);
// The local transform that the members LocalMembers gives describe, as
// this program reads them back (the rotation normalised); none for shear.
std::optional<standin::Affine> WrittenLocal(const standin::Affine& local, const NodeText& like, bool fresh = false);

}  // namespace driver::gltf
