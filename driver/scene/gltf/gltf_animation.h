#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/json_view.h"
#include "scene/scene_format.h"

// Which animation channels of a glTF file drive what of its nodes, and
// which samplers give them their keys. What does not fit is passed over.
namespace driver::gltf {

// What an animation channel drives in a node: a member named by the
// channel's "path", or whatever a KHR_animation_pointer points at in it.
struct ChannelTarget {
    std::size_t node = 0;
    std::string property;  // "rotation", "weights", "extensions/KHR_lights_punctual/...": the pointer below the node
    bool pointer = false;  // given by a KHR_animation_pointer
    Span value;            // the "node" index, or the pointer string
    std::size_t animation = 0;           // its animation's index
    std::size_t channel = 0;             // its index among the animation's channels
    Span object;                         // the channel's JSON object
    std::optional<std::size_t> sampler;  // its "sampler", where it is an index
};

// A sampler of an animation: the accessors of its times and of its values,
// and whether it interpolates by cubic spline, whose keys are each an
// in-tangent, a value and an out-tangent.
struct SamplerEntry {
    Span object;
    std::optional<std::size_t> input, output;
    bool cubic = false;
    bool step = false;         // it holds each key's value until the next
    std::size_t channels = 0;  // the channels that use it
};

struct AnimationEntry {
    std::string name;  // "" where it has none
    std::optional<Span> samplersArray, channelsArray;
    std::vector<SamplerEntry> samplers;
};

// What of a node's placement a channel drives: "translation", "rotation",
// "scale", "matrix" (all three), or null for none of it.
const char* PlacementPart(const ChannelTarget& target);

// The numbers in one key of a channel that drives a translation, a
// rotation (a quaternion) or a scale.
std::size_t KeyComponents(const ChannelTarget& target);

// The animations of `animations`, by index, with their samplers.
std::vector<AnimationEntry> ReadAnimations(const JsonValue& animations);

// The channels of `animations` that drive something of one of `count` nodes.
std::vector<ChannelTarget> ChannelTargets(const JsonValue& animations, std::size_t count);

// What of each of `count` nodes' placement the channels drive; a matrix is
// all of it.
std::vector<AnimatedParts> AnimatedNodes(const std::vector<ChannelTarget>& channels, std::size_t count);

// "animation 0 "Wave", channel 2".
std::string ChannelName(const std::vector<AnimationEntry>& animations, const ChannelTarget& channel);

}  // namespace driver::gltf
