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

const SceneHistory::States::Kept& SceneHistory::States::At(std::size_t place) const {
    const auto [block, at] = BlockOf(place, kFirstBlock);
    return blocks_[block][at];
}

SceneHistory::States::Kept& SceneHistory::States::At(std::size_t place) {
    const auto [block, at] = BlockOf(place, kFirstBlock);
    return blocks_[block][at];
}

void SceneHistory::States::Keep(std::size_t index, const standin::StandinNode& node, standin::NodeEdit what,
                                std::size_t nodes) {
    if (slot_.size() < nodes) {
        slot_.resize(nodes, 0);
    }
    Kept* kept = slot_[index] != 0 ? &At(slot_[index] - 1) : nullptr;
    if (kept == nullptr) {
        const std::size_t block = BlockOf(count_, kFirstBlock).first;
        if (block == blocks_.size()) {
            blocks_.emplace_back().reserve(kFirstBlock << block);
        }
        kept = &blocks_[block].emplace_back();
        kept->index = static_cast<std::uint32_t>(index);
        kept->name = node.Name();
        slot_[index] = static_cast<std::uint32_t>(++count_);
    }
    if (what == standin::NodeEdit::Placement && kept->placement == kNoPlacement) {
        kept->placement = static_cast<std::uint32_t>(placements_.size());
        placements_.push_back({node.Transform(), node.ObjectWorld()});
    }
}

NodeState SceneHistory::States::Before(const Kept& kept, const standin::StandinNode& now) const {
    // A node whose placement was not edited is where it was.
    if (kept.placement == kNoPlacement) {
        return {kept.name, now.Transform(), now.ObjectWorld()};
    }
    const Placement& placement = placements_[kept.placement];
    return {kept.name, placement.transform, placement.objectWorld};
}

void SceneHistory::States::Clear() {
    for (std::size_t place = 0; place < count_; ++place) {
        slot_[At(place).index] = 0;
    }
    placements_.clear();
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
    scene_.AddEditListener(*this);
}

SceneHistory::~SceneHistory() { scene_.RemoveEditListener(*this); }

void SceneHistory::BeforeNodeEdit(const standin::StandinNode& node, standin::NodeEdit what) {
    const std::size_t index = IndexOf(node);
    if (keepStart_) {
        start_.Keep(index, node, what, order_.size());
    }
    sinceMark_.Keep(index, node, what, order_.size());
}

bool SceneHistory::ChangedSinceMark(std::size_t index) const {
    const States::Kept* kept = sinceMark_.Find(index);
    return kept != nullptr &&
           !CompareToNode(index, sinceMark_.Before(*kept, *order_[index]), *order_[index], false).Empty();
}

NodeState SceneHistory::StateAtMark(std::size_t index) const {
    const standin::StandinNode& now = *order_[index];
    const States::Kept* kept = sinceMark_.Find(index);
    return kept != nullptr ? sinceMark_.Before(*kept, now) : StateOf(now);
}

std::vector<NodeChange> SceneHistory::ChangesSinceStart() const {
    std::vector<NodeChange> changes;
    Visit(start_, true, [&changes](const NodeChange& change) { changes.push_back(change); });
    return changes;
}

void SceneHistory::Visit(const States& before, bool withLines,
                         const std::function<void(const NodeChange&)>& visit) const {
    auto compare = [&](const States::Kept& kept) {
        const standin::StandinNode& node = *order_[kept.index];
        // A node whose placement was not edited can differ in its name alone:
        // a renamed scene is compared without placing its nodes in the world.
        const NodeChange change = before.PlacementKept(kept)
                                      ? CompareToNode(kept.index, before.Before(kept, node), node, withLines)
                                      : CompareNames(kept.index, kept.name, node.Name(), withLines);
        if (!change.Empty()) {
            visit(change);
        }
    };
    bool sorted = true;
    for (std::size_t place = 1; place < before.Count() && sorted; ++place) {
        sorted = before.At(place - 1).index < before.At(place).index;
    }
    // Many touched nodes are walked in the order of the index, few sorted.
    if (sorted) {
        for (std::size_t place = 0; place < before.Count(); ++place) {
            compare(before.At(place));
        }
    } else if (before.Count() * 16 >= before.Nodes()) {
        for (std::size_t index = 0; index < before.Nodes(); ++index) {
            if (const States::Kept* kept = before.Find(index)) {
                compare(*kept);
            }
        }
    } else {
        std::vector<const States::Kept*> touched;
        touched.reserve(before.Count());
        for (std::size_t place = 0; place < before.Count(); ++place) {
            touched.push_back(&before.At(place));
        }
        std::sort(touched.begin(), touched.end(),
                  [](const States::Kept* a, const States::Kept* b) { return a->index < b->index; });
        for (const States::Kept* kept : touched) {
            compare(*kept);
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
        const States::Kept* kept = start_.Find(index);
        snapshot.push_back(kept != nullptr ? start_.Before(*kept, *order_[index]) : StateOf(*order_[index]));
    }
    return snapshot;
}

}  // namespace driver
