#pragma once

#include <cstddef>
#include <unordered_map>
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
    void Mark() { sinceMark_.clear(); }
    // The nodes that differ from what they were at the mark, in pre-order.
    std::vector<NodeChange> ChangesSinceMark() const { return Changes(sinceMark_); }
    // The nodes that differ from what they were at the start (keepStart).
    std::vector<NodeChange> ChangesSinceStart() const { return Changes(start_); }
    // The scene as it was at the start (keepStart).
    SceneSnapshot StartSnapshot() const;
    // The node's pre-order index; the index of all nodes is made on first use.
    std::size_t IndexOf(const standin::StandinNode& node) const;

private:
    using States = std::unordered_map<const standin::StandinNode*, NodeState>;

    void BeforeNodeEdit(const standin::StandinNode& node) override;
    std::vector<NodeChange> Changes(const States& before) const;

    standin::StandinScene& scene_;
    const std::vector<standin::StandinNode*>& order_;
    bool keepStart_;
    States sinceMark_;
    States start_;
    mutable std::unordered_map<const standin::StandinNode*, std::size_t> indexOf_;
};

}  // namespace driver
