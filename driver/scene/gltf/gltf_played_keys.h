#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_channel_keys.h"
#include "scene/gltf/gltf_key_map.h"

// What one animation plays of a node's placement, read from its keys,
// where a change moves the node's pivot or turns its axes: rotation and
// scale keys that never change (Blender and Godot key every bone, often
// with the same rotation at every key) shift the origin by a constant,
// which its translation keys carry; rotation and scale keys that step
// with translation keys at the same times shift it by steps that those
// keys carry; scale keys that are all uniform commute with a turn.
namespace driver::gltf {

// How the translation keys of one animation carry the shift of a moved
// pivot: `offsets`, where they step with it, the offset of each; and
// where the animation has no translation keys of the node and the shift
// is not the rest's, the channel at whose times (by steps where `step`)
// new translation keys carry it.
struct PlayedShift {
    std::vector<double> offsets;
    std::optional<std::size_t> newKeysAt;
    bool step = false;
};

// `change` for the keys of `channels` (those of one animation that drive
// the node's placement): its rest made of the rotation and scale that the
// animation plays where they are constant, `shiftCarried`,
// `uniformScaleKeys` and `constantRotation` set where the keys allow, and
// `shift`. Keys that cannot be read leave it as it was (their fault is
// told where they are mapped).
void PlayedChange(const FileAnimations& file, const std::vector<std::size_t>& channels, const ViewReader& read,
                  NodeChange& change, PlayedShift& shift);

// The numbers of channel `channel`'s keys (floats, or normalized integers
// as glTF maps them), 3 a key (4 for a rotation), each an in-tangent, a
// value and an out-tangent for a cubic spline. Throws ChannelKeysError.
std::vector<double> ChannelValues(const FileAnimations& file, std::size_t channel, const ViewReader& read);

}  // namespace driver::gltf
