#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene_node.h"

namespace tarvel {

// The namesakes of a fixed list of nodes, found with one pre-order walk of
// the scene instead of one walk per node: for each of their names it keeps
// the first two nodes in pre-order that bear it. Valid while no node is
// renamed and the tree keeps its shape; moving nodes does not matter.
class NamesakeIndex {
public:
    // Asks each node of `nodes` for its name once, then walks the tree from
    // `root`, stopping as soon as every name has two bearers.
    NamesakeIndex(SceneNode* root, std::vector<SceneNode*> nodes);
    NamesakeIndex(const NamesakeIndex&) = delete;
    NamesakeIndex& operator=(const NamesakeIndex&) = delete;

    // What PivotUtility::FindNamesake(root, name of nodes[i], nodes[i])
    // answers: the first node in pre-order with that name other than
    // nodes[i], or null.
    SceneNode* NamesakeOf(std::size_t i) const;

private:
    struct Bearers {
        SceneNode* first = nullptr;
        SceneNode* second = nullptr;
    };

    std::vector<SceneNode*> nodes_;
    std::vector<std::string> names_;  // names_[i] is the name of nodes_[i]; the keys below view them
    std::unordered_map<std::string_view, Bearers> bearers_;
};

}  // namespace tarvel
