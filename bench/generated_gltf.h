#pragma once

#include <string>

namespace bench {

// A glTF file of `nodes` nodes as artists' files are: one named default
// scene of trees of 1 000 to 10 000 nodes whose groups have 10 to 50
// children (one child in ten a group itself), nodes numbered breadth first
// so that the file's order is not the scene's; 30 % of the nodes with a
// mesh, four in five with a translation, rotation and scale, the rest with
// a translation alone; a third of the names not ASCII. The same count gives
// the same bytes.
std::string GeneratedGltf(int nodes);

}  // namespace bench
