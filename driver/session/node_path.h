#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scene/node_tree.h"

namespace driver {

// A node's path: the names of the nodes from a child of the root down to
// the node, "/" between them ("Props/Chair"); the root's own name is not
// part of it, as the root is never selected. Within a name "\/" stands
// for "/" and "\\" for "\"; any other "\" stands for itself. Each step is
// a name pattern (name_pattern.h), so "*/Chair" fits every Chair one level
// down; a step that is "**" alone stands for any number of levels, none
// too, so "**/Chair" fits every Chair at any depth. An empty step is the
// empty name.
std::vector<std::string> PathSteps(const std::string& path);

// The nodes whose path fits `steps`, in pre-order; never the root.
std::vector<std::size_t> NodesOnPath(const std::vector<std::string>& steps,
                                     const std::vector<standin::StandinNode*>& order, const NodeTree& tree);

// The path of node `index` (not the root), written as PathSteps reads it.
std::string PathOf(std::size_t index, const std::vector<standin::StandinNode*>& order, const NodeTree& tree);

}  // namespace driver
