#include <vector>

#include "names_utility.h"

// Both walks visit the scene in pre-order without recursion, so a tree of
// any depth is fine. They make the host calls of a recursive pre-order walk,
// in its order: a node's name first, then for each child its count asked
// again, the child, and the child's whole subtree. A null child is skipped.

namespace {

// A node whose children are being visited; `next` is the next child index.
struct Visit {
    SceneNode* node;
    int next;
};

// The next child of the innermost visit that has one left, or null when the
// walk is over; finished visits are dropped.
SceneNode* NextChild(std::vector<Visit>& path) {
    while (!path.empty()) {
        Visit& visit = path.back();
        if (visit.next < visit.node->ChildCount()) {
            const int index = visit.next++;
            if (SceneNode* child = visit.node->ChildNode(index)) {
                return child;
            }
            continue;
        }
        path.pop_back();
    }
    return nullptr;
}

}  // namespace

void NamesUtility::CollectNames(SceneNode* node, std::vector<std::string>& list) {
    if (node == nullptr) {
        return;
    }
    std::vector<Visit> path;
    for (; node != nullptr; node = NextChild(path)) {
        list.emplace_back(node->NodeName());
        path.push_back({node, 0});
    }
}

bool NamesUtility::ApplyNames(SceneNode* node, const std::vector<std::string>& list, std::uint32_t& position) {
    if (node == nullptr) {
        return true;
    }
    std::vector<Visit> path;
    for (; node != nullptr; node = NextChild(path)) {
        if (position >= list.size()) {
            return false;
        }
        node->SetNodeName(list[position].c_str());
        ++position;
        path.push_back({node, 0});
    }
    return true;
}
