#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "scene/scene_history.h"
#include "session/action_report.h"

namespace driver {

// Warns when an edit gives new values to a part of a node's local placement
// (translation, rotation, scale) that an animation of the scene file drives,
// which overrides the edit when it plays. A child keeps its place in the
// world when its parent changes, so it gets a new local placement too. And
// when an edit moves a node's pivot relative to its object, an animation
// of the node's rotation or scale now plays about the new pivot. A change
// of an object that the file places otherwise (a glTF skinned mesh) is
// warned of too: no viewer shows it.
class AnimationWarnings {
public:
    AnimationWarnings(const SceneFile& file, const std::vector<standin::StandinNode*>& order,
                      const SceneHistory& history)
        : file_(file), order_(order), history_(history) {}

    // The changes of one action start; they come in pre-order.
    void Start() { byParent_.clear(); }
    // After the line of `change`: the warnings for its node and for its
    // children that did not change themselves.
    void After(const NodeChange& change, ActionReport& report);

private:
    void Warn(const standin::StandinNode& node, std::size_t index, const AnimatedParts& changed,
              ActionReport& report) const;
    // A node whose object the file places otherwise (a skinned mesh): its
    // new placement does not move it.
    void WarnObjectPlacedElsewhere(const standin::StandinNode& node, std::size_t index, ActionReport& report) const;
    // A node whose object now sits elsewhere relative to its pivot: an
    // animation of its rotation or scale now turns or scales it about the
    // new pivot.
    void WarnPivotMotion(const standin::StandinNode& node, std::size_t index, ActionReport& report) const;

    const SceneFile& file_;
    const std::vector<standin::StandinNode*>& order_;
    const SceneHistory& history_;
    // What a parent's change gave a changed child, waiting for the child's
    // line (a parent comes first in pre-order).
    std::unordered_map<std::size_t, AnimatedParts> byParent_;
};

}  // namespace driver
