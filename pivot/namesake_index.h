#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene_node.h"

namespace pivot_tool {

// A name to look for, and the node that does not count as its bearer.
struct NamesakeLookUp {
    std::string name;
    SceneNode* excluded = nullptr;
};

// The answers to a fixed list of look-ups, found with one pre-order walk
// of the scene instead of one walk each: for each, the first node in
// pre-order from the root that is named exactly so, other than the
// excluded node, whatever bearers follow. The walk stops as soon as every
// answer is known. A look-up's excluded node is taken to bear that
// look-up's name, and its own name is not asked. Valid while no node is
// renamed and the tree keeps its shape; moving nodes does not matter.
class NamesakeIndex {
public:
    NamesakeIndex(SceneNode* root, std::vector<NamesakeLookUp> lookUps);
    NamesakeIndex(const NamesakeIndex&) = delete;
    NamesakeIndex& operator=(const NamesakeIndex&) = delete;

    // The answer to the i-th look-up, or null.
    SceneNode* NamesakeOf(std::size_t i) const;

private:
    // The first two bearers of a name in pre-order. The second is needed
    // only when the first is the excluded node of a look-up.
    struct Bearers {
        SceneNode* first = nullptr;
        SceneNode* second = nullptr;
        bool firstIsExcluded = false;
    };

    void Visit(SceneNode* node, Bearers& bearers, bool isExcluded);

    std::vector<NamesakeLookUp> lookUps_;  // the keys below view their names
    std::unordered_map<std::string_view, Bearers> bearers_;
    std::vector<Bearers*> bearersOf_;                          // of each look-up's name
    std::unordered_map<const SceneNode*, Bearers*> excluded_;  // of the name each excluded node is taken to bear
    std::size_t open_ = 0;                                     // names whose answers are not all known yet
};

}  // namespace pivot_tool
