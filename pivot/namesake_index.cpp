#include "namesake_index.h"

#include <utility>

#include "scene_order.h"

namespace tarvel {

NamesakeIndex::NamesakeIndex(SceneNode* root, std::vector<NamesakeLookUp> lookUps) : lookUps_(std::move(lookUps)) {
    excludedNames_.reserve(lookUps_.size());
    bearers_.reserve(lookUps_.size());
    for (const NamesakeLookUp& lookUp : lookUps_) {
        if (lookUp.excluded != nullptr) {
            excludedNames_.try_emplace(lookUp.excluded, lookUp.name);
        }
        bearers_.try_emplace(lookUp.name);
    }
    std::size_t open = bearers_.size();  // names whose answers are not all known yet
    if (open == 0) {
        return;
    }
    VisitPreOrder(root, [&](SceneNode* node) {
        const auto excluded = excludedNames_.find(node);
        const bool isExcluded = excluded != excludedNames_.end();
        const auto found = bearers_.find(isExcluded ? excluded->second : std::string_view(node->NodeName()));
        if (found == bearers_.end()) {
            return true;
        }
        Bearers& bearers = found->second;
        if (bearers.first == nullptr) {
            bearers.first = node;
            bearers.firstIsExcluded = isExcluded;
            open -= isExcluded ? 0 : 1;
        } else if (bearers.firstIsExcluded && bearers.second == nullptr) {
            bearers.second = node;
            --open;
        }
        return open != 0;
    });
}

SceneNode* NamesakeIndex::NamesakeOf(std::size_t i) const {
    const NamesakeLookUp& lookUp = lookUps_[i];
    const Bearers& bearers = bearers_.at(lookUp.name);
    return bearers.first != lookUp.excluded ? bearers.first : bearers.second;
}

}  // namespace tarvel
