#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "scene/node_state.h"
#include "standin/standin_scene.h"

namespace driver {

// What the nodes were before the tools changed them. The stand-in tells
// the history before every edit of a node, so it keeps the nodes that were
// touched only: a run on a large scene costs what it changes, and an
// action that changes nothing costs nothing.
class SceneHistory final : public standin::NodeEditListener {
public:
    // `order` is the scene's pre-order; it must outlive the history. With
    // `keepStart`, the state at the start of the run is kept as well.
    SceneHistory(standin::StandinScene& scene, const std::vector<standin::StandinNode*>& order, bool keepStart);
    ~SceneHistory();
    SceneHistory(const SceneHistory&) = delete;
    SceneHistory& operator=(const SceneHistory&) = delete;

    // An action starts: changes are counted from here.
    void Mark() { sinceMark_.Clear(); }
    // Calls `visit` for each node that differs from what it was at the
    // mark, in pre-order, without its name and lines: one change at a time.
    void VisitChangesSinceMark(const std::function<void(const NodeChange&)>& visit) const {
        Visit(sinceMark_, false, visit);
    }
    // Whether the node differs from what it was at the mark.
    bool ChangedSinceMark(std::size_t index) const;
    // The nodes that differ from what they were at the start (keepStart),
    // with their names and lines.
    std::vector<NodeChange> ChangesSinceStart() const;
    // The scene as it was at the start (keepStart).
    SceneSnapshot StartSnapshot() const;
    // The node's pre-order index.
    std::size_t IndexOf(const standin::StandinNode& node) const;

private:
    // The states of the nodes touched since a moment, in the order they
    // were touched, found by pre-order index.
    class States {
    public:
        using Entry = std::pair<std::size_t, NodeState>;  // pre-order index, state

        const NodeState* Find(std::size_t index) const {
            return index < slot_.size() && slot_[index] != 0 ? &At(slot_[index] - 1).second : nullptr;
        }
        void Keep(std::size_t index, NodeState state, std::size_t nodes);
        // Forgets the states at the cost of how many there are.
        void Clear();
        // The `place`th state kept, from 0 to Count().
        const Entry& At(std::size_t place) const;
        std::size_t Count() const { return count_; }
        std::size_t Nodes() const { return slot_.size(); }

    private:
        // Blocks that never grow past what they reserved, each twice the
        // one before, so that a large change never copies its states to
        // make room, nor holds twice what it needs while it does, and its
        // large blocks go back to the system when it is forgotten.
        static constexpr std::size_t kFirstBlock = 1024;
        std::vector<std::vector<Entry>> blocks_;
        std::size_t count_ = 0;
        std::vector<std::uint32_t> slot_;  // by index: 1 + the state's place, or 0
    };

    void BeforeNodeEdit(const standin::StandinNode& node) override;
    void Visit(const States& before, bool withLines, const std::function<void(const NodeChange&)>& visit) const;

    standin::StandinScene& scene_;
    const std::vector<standin::StandinNode*>& order_;
    bool keepStart_;
    States sinceMark_;
    States start_;
    // For a scene whose nodes were not made in pre-order.
    mutable std::unordered_map<const standin::StandinNode*, std::size_t> indexOf_;
};

}  // namespace driver
