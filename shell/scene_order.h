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
    // A node whose children are being visited: `next` is the next child
    // index; `count` is the child count just asked before that child, or -1
    // when it must be asked again.
    struct Open {
        SceneNode* node;
        int next;
        int count;
    };
    if (root == nullptr) {
        return true;
    }
    if (!visit(root)) {
        return false;
    }
    std::vector<Open> path;
    // A node's count is first asked when it is reached; a node without
    // children is done then, and never takes a place on the path.
    const auto reach = [&path](SceneNode* node) {
        if (const int count = node->ChildCount(); count > 0) {
            path.push_back({node, 0, count});
        }
    };
    reach(root);
    while (!path.empty()) {
        Open& open = path.back();
        const int count = open.count >= 0 ? open.count : open.node->ChildCount();
        open.count = -1;
        if (open.next >= count) {
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
        reach(child);
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
    std::size_t counted = 0;
    std::vector<Open> path;
    const auto reach = [&counted, &path](SceneNode* node) {
        ++counted;
        if (const int count = node->ChildCount(); count > 0) {
            path.push_back({node, 0, count});
        }
    };
    if (root != nullptr) {
        reach(root);
    }
    while (!path.empty()) {
        Open& open = path.back();
        if (open.next >= open.count) {
            path.pop_back();
        } else if (SceneNode* const child = open.node->ChildNode(open.next++)) {
            reach(child);
        }
    }
    return counted;
}
