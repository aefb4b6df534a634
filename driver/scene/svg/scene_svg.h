#pragma once

#include <string>

#include "scene/node_state.h"
#include "scene/up_axis.h"

namespace driver {

// An SVG picture of a scene before and after a session: a plan and a front
// elevation of each, following the scene's up axis, with a scale bar in
// scene units and a legend. Every node's pivot is an X/Y/Z tripod (red,
// green, blue), its object a grey square where it sits, joined to the pivot
// by a dashed line when they are apart, and its label is "INDEX NAME". No
// label covers another, a marker, a trail or the panel's edge: one without
// room beside its marker moves away with a leader line, or is left out and
// counted in the note. In the after views, changed nodes have orange bold
// labels and an orange dashed trail from where their pivot was. The size
// of the picture is bounded whatever the scene (see svg_panel.h), and the
// time to draw it is linear in the nodes.
// Throws SceneFileError naming the first node whose placement is not
// finite, which no picture can show.
std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after, UpAxis up);

}  // namespace driver
