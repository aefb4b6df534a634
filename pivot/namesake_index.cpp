#include "namesake_index.h"

#include <utility>

#include "scene_order.h"

namespace pivot_tool {

NamesakeIndex::NamesakeIndex(SceneNode* root, std::vector<NamesakeLookUp> lookUps) : lookUps_(std::move(lookUps)) {
    bearers_.reserve(lookUps_.size());
    bearersOf_.reserve(lookUps_.size());
    excluded_.reserve(lookUps_.size());
    for (const NamesakeLookUp& lookUp : lookUps_) {
        Bearers* bearers = &bearers_.try_emplace(lookUp.name).first->second;
        bearersOf_.push_back(bearers);
        if (lookUp.excluded != nullptr) {
            excluded_.try_emplace(lookUp.excluded, bearers);
        }
    }
    open_ = bearers_.size();
    if (open_ == 0) {
        return;
    }
    VisitPreOrder(root, [&](SceneNode* node) {
        const auto excluded = excluded_.find(node);
        if (excluded != excluded_.end()) {
            Visit(node, *excluded->second, true);
        } else {
            const auto found = bearers_.find(node->NodeName());
            if (found != bearers_.end()) {
                Visit(node, found->second, false);
            }
        }
        return open_ != 0;
    });
}

void NamesakeIndex::Visit(SceneNode* node, Bearers& bearers, bool isExcluded) {
    if (bearers.first == nullptr) {
        bearers.first = node;
        bearers.firstIsExcluded = isExcluded;
        open_ -= isExcluded ? 0 : 1;
    } else if (bearers.firstIsExcluded && bearers.second == nullptr) {
        bearers.second = node;
        --open_;
    }
}

SceneNode* NamesakeIndex::NamesakeOf(std::size_t i) const {
    const Bearers& bearers = *bearersOf_[i];
    return bearers.first != lookUps_[i].excluded ? bearers.first : bearers.second;
}

}  // namespace pivot_tool
