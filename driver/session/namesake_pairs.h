#pragma once

#include <cstddef>
#include <vector>

#include "scene/scene_history.h"
#include "session/action_report.h"
#include "standin/standin_scene.h"

namespace driver {

// Align gives each selected node the placement of its namesake, the first
// other node of the same name in pre-order. Where the namesake is selected
// too, the result depends on the order of the selection: the one aligned
// second takes the placement the first has just taken.
struct NamesakePair {
    std::size_t node = 0;        // pre-order index
    std::size_t namesake = 0;    // pre-order index, selected as well
    bool namesakeFirst = false;  // the namesake comes earlier in the selection
};

// The selected nodes (pre-order indices, in selection order) whose
// namesakes, by the names the nodes of `order` have now, are selected too.
std::vector<NamesakePair> SelectedNamesakePairs(const std::vector<std::size_t>& selection,
                                                const std::vector<standin::StandinNode*>& order);

// After a press: a warning for each such node that it moved (as Align
// moves them), saying which placement it took.
void ReportNamesakePairs(const std::vector<std::size_t>& selection, const std::vector<standin::StandinNode*>& order,
                         const SceneHistory& history, ActionReport& report);

}  // namespace driver
