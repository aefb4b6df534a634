#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "standin/standin_scene.h"

namespace driver {

// Where each node of a scene stands in its tree, by pre-order index: its
// depth (the root's is 0) and its parent's index (the root's is itself).
struct NodeTree {
    std::vector<std::uint32_t> depth;
    std::vector<std::size_t> parent;
};

// The tree of `order`, a scene's nodes in pre-order from the root, found in
// one pass without recursion, whatever the depth.
NodeTree TreeOf(const std::vector<standin::StandinNode*>& order);

}  // namespace driver
