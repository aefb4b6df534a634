#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "scene_node.h"

// Walks the host's scene (or a subtree) in the order that both tools use.
// Visits `root` and its whole subtree in pre-order, without recursion, so a
// tree of any depth is fine. The host calls are those of a recursive
// pre-order walk, in its order: `visit(node)` first, then for each child
// the node's child count asked again, the child, and the child's subtree.
// The walk stops at once when `visit` returns false, and then returns
// false. A null child is skipped.
template <typename Visit>
bool VisitPreOrder(SceneNode* root, Visit&& visit) {
    // A node whose children are being visited; `next` is the next child index.
    struct Open {
        SceneNode* node;
        int next;
    };
    if (root == nullptr) {
        return true;
    }
    if (!visit(root)) {
        return false;
    }
    std::vector<Open> path{{root, 0}};
    while (!path.empty()) {
        Open& open = path.back();
        if (open.next >= open.node->ChildCount()) {
            path.pop_back();
            continue;
        }
        SceneNode* child = open.node->ChildNode(open.next++);
        if (child == nullptr) {
            continue;
        }
        if (!visit(child)) {
            return false;
        }
        path.push_back({child, 0});
    }
    return true;
}

// The number of nodes of `root`'s subtree, `root` included (0 for none),
// with fewer host calls than a walk: in pre-order, each node is asked its
// child count once and then all its children in index order, before the
// children's subtrees follow. A null child is not counted. Without
// recursion, like the walk.
inline std::size_t CountNodes(SceneNode* root) {
    std::size_t count = 0;
    std::vector<SceneNode*> pending;  // the last is counted next
    if (root != nullptr) {
        pending.push_back(root);
    }
    while (!pending.empty()) {
        SceneNode* const node = pending.back();
        pending.pop_back();
        ++count;
        const std::size_t first = pending.size();
        const int children = node->ChildCount();
        for (int i = 0; i < children; ++i) {
            if (SceneNode* const child = node->ChildNode(i)) {
                pending.push_back(child);
            }
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
    }
    return count;
}
