#include "scene/scene_history.h"

#include <algorithm>

namespace driver {

namespace {

// The block of a place in blocks of `first`, 2 * `first`, 4 * `first`, ...
// states, and the place in it.
std::pair<std::size_t, std::size_t> BlockOf(std::size_t place, std::size_t first) {
    std::size_t block = 0;
    for (std::size_t size = first; place >= size; size *= 2) {
        place -= size;
        ++block;
    }
    return {block, place};
}

}  // namespace

const SceneHistory::States::Entry& SceneHistory::States::At(std::size_t place) const {
    const auto [block, at] = BlockOf(place, kFirstBlock);
    return blocks_[block][at];
}

void SceneHistory::States::Keep(std::size_t index, NodeState state, std::size_t nodes) {
    if (slot_.size() < nodes) {
        slot_.resize(nodes, 0);
    }
    const std::size_t block = BlockOf(count_, kFirstBlock).first;
    if (block == blocks_.size()) {
        blocks_.emplace_back().reserve(kFirstBlock << block);
    }
    blocks_[block].emplace_back(index, std::move(state));
    slot_[index] = static_cast<std::uint32_t>(++count_);
}

void SceneHistory::States::Clear() {
    for (std::size_t place = 0; place < count_; ++place) {
        slot_[At(place).first] = 0;
    }
    // The first block stays for the next action; the others go back.
    blocks_.resize(std::min<std::size_t>(blocks_.size(), 1));
    if (!blocks_.empty()) {
        blocks_.front().clear();
    }
    count_ = 0;
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
    bool sorted = true;
    for (std::size_t place = 1; place < before.Count() && sorted; ++place) {
        sorted = before.At(place - 1).first < before.At(place).first;
    }
    // Many touched nodes are walked in the order of the index, few sorted.
    if (sorted) {
        for (std::size_t place = 0; place < before.Count(); ++place) {
            compare(before.At(place).first, before.At(place).second);
        }
    } else if (before.Count() * 16 >= before.Nodes()) {
        for (std::size_t index = 0; index < before.Nodes(); ++index) {
            if (const NodeState* state = before.Find(index)) {
                compare(index, *state);
            }
        }
    } else {
        std::vector<std::pair<std::size_t, const NodeState*>> touched;
        touched.reserve(before.Count());
        for (std::size_t place = 0; place < before.Count(); ++place) {
            touched.emplace_back(before.At(place).first, &before.At(place).second);
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
