#include "namesake_index.h"

#include <utility>

#include "scene_order.h"

namespace tarvel {

NamesakeIndex::NamesakeIndex(SceneNode* root, std::vector<SceneNode*> nodes) : nodes_(std::move(nodes)) {
    names_.reserve(nodes_.size());
    for (SceneNode* node : nodes_) {
        names_.emplace_back(node != nullptr ? node->NodeName() : "");
    }
    bearers_.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (nodes_[i] != nullptr) {
            bearers_.try_emplace(names_[i]);
        }
    }
    std::size_t complete = 0;
    VisitPreOrder(root, [&](SceneNode* node) {
        const auto found = bearers_.find(node->NodeName());
        if (found == bearers_.end()) {
            return true;
        }
        Bearers& bearers = found->second;
        if (bearers.first == nullptr) {
            bearers.first = node;
        } else if (bearers.second == nullptr) {
            bearers.second = node;
            ++complete;
        }
        return complete != bearers_.size();  // every name has two bearers: stop
    });
}

SceneNode* NamesakeIndex::NamesakeOf(std::size_t i) const {
    const auto found = nodes_[i] != nullptr ? bearers_.find(names_[i]) : bearers_.end();
    if (found == bearers_.end()) {
        return nullptr;
    }
    const Bearers& bearers = found->second;
    return bearers.first != nodes_[i] ? bearers.first : bearers.second;
}

}  // namespace tarvel
