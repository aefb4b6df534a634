#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scene/gltf/json_view.h"
#include "scene/scene_format.h"

// Which animation channels of a glTF file drive what of its nodes.
// Animations are not the tools' business otherwise: what does not fit is
// passed over.
namespace driver::gltf {

// What an animation channel drives in a node: a member named by the
// channel's "path", or whatever a KHR_animation_pointer points at in it.
struct ChannelTarget {
    std::size_t node = 0;
    std::string property;  // "rotation", "weights", "extensions/KHR_lights_punctual/...": the pointer below the node
    bool pointer = false;  // given by a KHR_animation_pointer
    Span value;            // the "node" index, or the pointer string
    std::size_t animation = 0;  // its animation's index
};

// What of a node's placement a channel drives: "translation", "rotation",
// "scale", "matrix" (all three), or null for none of it.
const char* PlacementPart(const ChannelTarget& target);

// The names of `animations`, by index; "" where one has none.
std::vector<std::string> AnimationNames(const JsonValue& animations);

// The channels of `animations` that drive something of one of `count` nodes.
std::vector<ChannelTarget> ChannelTargets(const JsonValue& animations, std::size_t count);

// What of each of `count` nodes' placement the channels drive; a matrix is
// all of it.
std::vector<AnimatedParts> AnimatedNodes(const std::vector<ChannelTarget>& channels, std::size_t count);

}  // namespace driver::gltf
