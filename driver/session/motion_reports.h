#pragma once

#include <cstddef>
#include <vector>

#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "scene/scene_history.h"
#include "session/action_report.h"

namespace driver {

// What an action's change of a node means beyond the node, after its
// `changed` line:
// - a refusal, which fails the run, where the file cannot hold the node as
//   it now stands so that every animation plays as it did (the keys of the
//   node, its object or its children cannot follow the change exactly),
//   after which nothing else is said: nothing is written;
// - what moved with a node that moved with its object: the skinned meshes
//   whose vertices a joint weighs;
// - a node whose object the file places otherwise (a glTF skinned mesh),
//   so that its new placement does not move it: no viewer shows it.
class MotionReports {
public:
    MotionReports(const SceneFile& file, const std::vector<standin::StandinNode*>& order, const SceneHistory& history)
        : file_(file), order_(order), history_(history) {}

    // After the line of `change`.
    void After(const NodeChange& change, ActionReport& report) const;

private:
    const SceneFile& file_;
    const std::vector<standin::StandinNode*>& order_;
    const SceneHistory& history_;
};

}  // namespace driver
