#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scene/node_state.h"
#include "scene/svg/svg_view.h"

namespace driver::svg {

// The first nodes in pre-order get a marker and a label; the rest are
// dots, one for each small cell of the panel they fall in, which keeps a
// picture of any scene a few megabytes at most.
constexpr std::size_t kMarkedNodes = 2000;

// What a panel could not show, for the picture's note.
struct PanelCounts {
    std::size_t omittedLabels = 0;  // labels with no room left
    std::size_t dottedNodes = 0;    // nodes beyond kMarkedNodes
};

// Appends one view of one snapshot to `svg`: the panel, its title, its
// scale bar, the nodes' markers and their labels. `previous` is the
// snapshot before, for the after panels (whose `changed` nodes are drawn
// in orange with a trail from where their pivot was), or null.
PanelCounts DrawPanel(std::string& svg, const Frame& frame, const std::string& title, const SceneSnapshot& snapshot,
                      const SceneSnapshot* previous, const std::vector<bool>& changed);

}  // namespace driver::svg
