#include "scene/scene_history.h"

#include <algorithm>

namespace driver {

void SceneHistory::States::Keep(std::size_t index, NodeState state, std::size_t nodes) {
    if (slot_.size() < nodes) {
        slot_.resize(nodes, 0);
    }
    kept_.emplace_back(index, std::move(state));
    slot_[index] = static_cast<std::uint32_t>(kept_.size());
}

void SceneHistory::States::Clear() {
    for (const auto& [index, state] : kept_) {
        slot_[index] = 0;
    }
    // Room for a few nodes stays for the next action; that of a large
    // change goes back.
    constexpr std::size_t kKeptRoom = 4096;
    if (kept_.capacity() > kKeptRoom) {
        std::vector<std::pair<std::size_t, NodeState>>().swap(kept_);
    } else {
        kept_.clear();
    }
}

SceneHistory::SceneHistory(standin::StandinScene& scene, const std::vector<standin::StandinNode*>& order,
                           bool keepStart)
    : scene_(scene), order_(order), keepStart_(keepStart) {
    scene_.SetEditListener(this);
}

SceneHistory::~SceneHistory() { scene_.SetEditListener(nullptr); }

void SceneHistory::BeforeNodeEdit(const standin::StandinNode& node) {
    const std::size_t index = IndexOf(node);
    if (sinceMark_.Find(index) != nullptr) {
        return;
    }
    NodeState state = StateOf(node);
    if (keepStart_ && start_.Find(index) == nullptr) {
        start_.Keep(index, state, order_.size());
    }
    sinceMark_.Keep(index, std::move(state), order_.size());
}

bool SceneHistory::ChangedSinceMark(std::size_t index) const {
    const NodeState* state = sinceMark_.Find(index);
    return state != nullptr && !CompareToNode(index, *state, *order_[index], false).Empty();
}

std::vector<NodeChange> SceneHistory::ChangesSinceStart() const {
    std::vector<NodeChange> changes;
    Visit(start_, true, [&changes](const NodeChange& change) { changes.push_back(change); });
    return changes;
}

void SceneHistory::Visit(const States& before, bool withLines,
                         const std::function<void(const NodeChange&)>& visit) const {
    auto compare = [&](std::size_t index, const NodeState& state) {
        const NodeChange change = CompareToNode(index, state, *order_[index], withLines);
        if (!change.Empty()) {
            visit(change);
        }
    };
    const auto& kept = before.Kept();
    const auto byIndex = [](const auto& a, const auto& b) { return a.first < b.first; };
    // Many touched nodes are walked in the order of the index, few sorted.
    if (std::is_sorted(kept.begin(), kept.end(), byIndex)) {
        for (const auto& [index, state] : kept) {
            compare(index, state);
        }
    } else if (kept.size() * 16 >= before.Nodes()) {
        for (std::size_t index = 0; index < before.Nodes(); ++index) {
            if (const NodeState* state = before.Find(index)) {
                compare(index, *state);
            }
        }
    } else {
        std::vector<std::pair<std::size_t, const NodeState*>> touched;
        touched.reserve(kept.size());
        for (const auto& [index, state] : kept) {
            touched.emplace_back(index, &state);
        }
        std::sort(touched.begin(), touched.end());
        for (const auto& [index, state] : touched) {
            compare(index, *state);
        }
    }
}

std::size_t SceneHistory::IndexOf(const standin::StandinNode& node) const {
    // A scene built in pre-order, as the scene files are, numbers its nodes so.
    if (node.Ordinal() < order_.size() && order_[node.Ordinal()] == &node) {
        return node.Ordinal();
    }
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
    for (std::size_t index = 0; index < order_.size(); ++index) {
        const NodeState* kept = start_.Find(index);
        snapshot.push_back(kept != nullptr ? *kept : StateOf(*order_[index]));
    }
    return snapshot;
}

}  // namespace driver
