#include "scene/node_tree.h"

namespace driver {

// In pre-order a node's parent is the nearest open ancestor that still
// has children to come: the stack holds those ancestors with that count.
NodeTree TreeOf(const std::vector<standin::StandinNode*>& order) {
    struct Open {
        std::size_t index;
        int childrenLeft;
    };
    NodeTree tree;
    tree.depth.reserve(order.size());
    tree.parent.reserve(order.size());
    std::vector<Open> open;
    for (std::size_t k = 0; k < order.size(); ++k) {
        while (!open.empty() && open.back().childrenLeft == 0) {
            open.pop_back();
        }
        tree.depth.push_back(static_cast<std::uint32_t>(open.size()));
        tree.parent.push_back(open.empty() ? k : open.back().index);
        if (!open.empty()) {
            --open.back().childrenLeft;
        }
        // Read directly: the host's journal is for the tools' calls.
        const int children = static_cast<int>(order[k]->Children().size());
        if (children > 0) {
            open.push_back({k, children});
        }
    }
    return tree;
}

}  // namespace driver
