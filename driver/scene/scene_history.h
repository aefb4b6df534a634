#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
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
    // What the node was at the mark.
    NodeState StateAtMark(std::size_t index) const;
    // The nodes that differ from what they were at the start (keepStart),
    // with their names and lines.
    std::vector<NodeChange> ChangesSinceStart() const;
    // The scene as it was at the start (keepStart).
    SceneSnapshot StartSnapshot() const;
    // The node's pre-order index.
    std::size_t IndexOf(const standin::StandinNode& node) const;

private:
    // What the nodes touched since a moment were, in the order they were
    // touched, found by pre-order index. A node whose name alone was edited
    // keeps its name only, which keeps renaming a large scene cheap; its
    // placement is kept once that is edited too.
    class States {
    public:
        struct Kept {
            std::uint32_t index = 0;                 // pre-order
            std::uint32_t placement = kNoPlacement;  // in placements_
            std::string name;
        };

        const Kept* Find(std::size_t index) const {
            return index < slot_.size() && slot_[index] != 0 ? &At(slot_[index] - 1) : nullptr;
        }
        // Keeps what `node`, of `nodes`, is now where an edit of `what`
        // is its first since the moment.
        void Keep(std::size_t index, const standin::StandinNode& node, standin::NodeEdit what, std::size_t nodes);
        // What the node was at the moment; `now` is the node as it now is.
        NodeState Before(const Kept& kept, const standin::StandinNode& now) const;
        // Whether the node's placement was edited since the moment.
        static bool PlacementKept(const Kept& kept) { return kept.placement != kNoPlacement; }
        // Forgets the states at the cost of how many there are.
        void Clear();
        // The `place`th node kept, from 0 to Count().
        const Kept& At(std::size_t place) const;
        std::size_t Count() const { return count_; }
        std::size_t Nodes() const { return slot_.size(); }

    private:
        static constexpr std::uint32_t kNoPlacement = UINT32_MAX;
        struct Placement {
            NodeMatrix transform;
            NodeMatrix objectWorld;
        };
        Kept& At(std::size_t place);
        // Blocks that never grow past what they reserved, each twice the
        // one before, so that a large change never copies its states to
        // make room, nor holds twice what it needs while it does, and its
        // large blocks go back to the system when it is forgotten.
        static constexpr std::size_t kFirstBlock = 1024;
        std::vector<std::vector<Kept>> blocks_;
        std::deque<Placement> placements_;
        std::size_t count_ = 0;
        std::vector<std::uint32_t> slot_;  // by index: 1 + the node's place, or 0
    };

    void BeforeNodeEdit(const standin::StandinNode& node, standin::NodeEdit what) override;
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
