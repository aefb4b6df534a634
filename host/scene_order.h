#pragma once

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
// with fewer host calls than the walk: the calls of the walk, but each
// node is asked its child count only once, when it is reached. A null
// child is not counted. Without recursion, like the walk.
inline std::size_t CountNodes(SceneNode* root) {
    // A node whose children are being counted: `next` of `count` is the next.
    struct Open {
        SceneNode* node;
        int next;
        int count;
    };
    if (root == nullptr) {
        return 0;
    }
    std::size_t counted = 1;
    std::vector<Open> path{{root, 0, root->ChildCount()}};
    while (!path.empty()) {
        Open& open = path.back();
        if (open.next >= open.count) {
            path.pop_back();
            continue;
        }
        if (SceneNode* const child = open.node->ChildNode(open.next++)) {
            ++counted;
            path.push_back({child, 0, child->ChildCount()});
        }
    }
    return counted;
}
