#include "scene/scene_history.h"

#include <algorithm>

namespace driver {

SceneHistory::SceneHistory(standin::StandinScene& scene, const std::vector<standin::StandinNode*>& order,
                           bool keepStart)
    : scene_(scene), order_(order), keepStart_(keepStart) {
    scene_.SetEditListener(this);
}

SceneHistory::~SceneHistory() { scene_.SetEditListener(nullptr); }

void SceneHistory::BeforeNodeEdit(const standin::StandinNode& node) {
    if (sinceMark_.count(&node) != 0) {
        return;
    }
    NodeState state = StateOf(node);
    if (keepStart_ && start_.count(&node) == 0) {
        start_.emplace(&node, state);
    }
    sinceMark_.emplace(&node, std::move(state));
}

std::vector<NodeChange> SceneHistory::Changes(const States& before) const {
    std::vector<std::pair<std::size_t, const NodeState*>> touched;
    touched.reserve(before.size());
    for (const auto& [node, state] : before) {
        touched.emplace_back(IndexOf(*node), &state);
    }
    std::sort(touched.begin(), touched.end());
    std::vector<NodeChange> changes;
    for (const auto& [index, state] : touched) {
        NodeChange change = CompareStates(index, *state, StateOf(*order_[index]));
        if (!change.Empty()) {
            changes.push_back(std::move(change));
        }
    }
    return changes;
}

std::size_t SceneHistory::IndexOf(const standin::StandinNode& node) const {
    if (indexOf_.empty()) {
        indexOf_.reserve(order_.size());
        for (std::size_t i = 0; i < order_.size(); ++i) {
            indexOf_.emplace(order_[i], i);
        }
    }
    return indexOf_.at(&node);
}

SceneSnapshot SceneHistory::StartSnapshot() const {
    SceneSnapshot snapshot;
    snapshot.reserve(order_.size());
    for (const standin::StandinNode* node : order_) {
        const auto found = start_.find(node);
        snapshot.push_back(found != start_.end() ? found->second : StateOf(*node));
    }
    return snapshot;
}

}  // namespace driver
