#pragma once

#include <vector>

#include "scene_node.h"

namespace tarvel {

// Visits `start` and its subtree in depth-first pre-order, children by
// index, asking a node's ChildCount() again before each of its children and
// once after the last, exactly as a recursive walk asks. The walk keeps its
// path on the heap, so any depth is fine. `visit(node)` answering true ends
// the walk at that node, which is returned; null when every node was
// visited.
template <typename Visit>
SceneNode* FindInPreOrder(SceneNode* start, Visit visit) {
    if (start == nullptr) {
        return nullptr;
    }
    if (visit(start)) {
        return start;
    }
    struct Step {
        SceneNode* node;
        int nextChild;
    };
    std::vector<Step> path{{start, 0}};
    while (!path.empty()) {
        Step& top = path.back();
        if (top.nextChild >= top.node->ChildCount()) {
            path.pop_back();
            continue;
        }
        SceneNode* child = top.node->ChildNode(top.nextChild++);
        if (child == nullptr) {
            continue;
        }
        if (visit(child)) {
            return child;
        }
        path.push_back({child, 0});
    }
    return nullptr;
}

}  // namespace tarvel
