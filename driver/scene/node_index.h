#pragma once

#include <cstddef>
#include <string_view>

namespace driver {

// Reads a node's pre-order index: decimal digits only.
bool ReadNodeIndex(std::string_view text, std::size_t& index);

// Node 0 is the scene's root, which the host does not let anyone select.
constexpr const char* kRootNotSelectable = "node 0 is the scene root, which cannot be selected";

}  // namespace driver
