#include "scene/scene_history.h"

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
    std::vector<NodeChange> changes;
    if (before.empty()) {
        return changes;
    }
    for (std::size_t i = 0; i < order_.size(); ++i) {
        const auto found = before.find(order_[i]);
        if (found == before.end()) {
            continue;
        }
        NodeChange change = CompareStates(i, found->second, StateOf(*order_[i]));
        if (!change.Empty()) {
            changes.push_back(std::move(change));
        }
    }
    return changes;
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
