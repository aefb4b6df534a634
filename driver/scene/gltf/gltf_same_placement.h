#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/gltf/gltf_node_text.h"
#include "standin/standin_scene.h"

// A node that took a namesake's placement (as Align gives it) is written
// with the namesake's own numbers, as the file has them ("-2.4"), rather
// than with numbers computed back from its new world transform, which
// single precision leaves a unit off in the last place ("-2.4000003").
namespace driver::gltf {

// For each node of `order` (the scene's nodes in pre-order) whose world
// transform is no longer the one it was read with (`asRead`, by pre-order
// index), its namesake as Align finds it (the first other node of its name
// in pre-order) where that, as read, stood where the node now stands, but
// for the rounding of single precision, with its parent placed exactly as
// the written file places the node's parent (where it stands now, or where
// its own namesake stood), and where `sameForm` says that the file writes
// the two alike (both with a matrix, or both with translation, rotation
// and scale): the namesake's local transform as the file writes it gives
// the node the namesake's placement. Linear in the nodes, whatever their
// names.
std::unordered_map<std::size_t, std::size_t> SamePlacedNamesakes(
    const std::vector<standin::StandinNode*>& order, const std::vector<NodeMatrix>& asRead,
    const std::function<bool(std::size_t node, std::size_t namesake)>& sameForm);

// The members that give a node of the namesake's form its local transform,
// their text as `json` has it.
std::vector<MemberChange> TransformTextOf(const std::string& json, const NodeText& namesake);

}  // namespace driver::gltf
