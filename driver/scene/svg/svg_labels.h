#pragma once

#include <optional>

#include "scene/svg/svg_room.h"

namespace driver::svg {

// How labels are set: the font size, and the box of a label of `columns`
// characters, generous enough for common sans-serif fonts.
constexpr double kLabelFontSize = 11;
constexpr double kArmLength = 16;  // a tripod's arms, in picture units
double LabelWidth(std::size_t columns, bool bold);

// Where a node's label goes: `x`, `baseline` the text's start; `box` the
// room it takes. A label that had to move away from its marker gets a
// leader line from the marker to the box.
struct LabelPlace {
    double x = 0, baseline = 0;
    Box box{};
    bool leader = false;
    double leaderX1 = 0, leaderY1 = 0, leaderX2 = 0, leaderY2 = 0;
};

// The first place near the marker at (`px`, `py`), nearest first, where a
// label `width` wide covers nothing marked, no placed label or leader and
// stays in the panel; none when every place tried is taken.
std::optional<LabelPlace> FindLabelPlace(double px, double py, double width, const Occupancy& occupancy,
                                         const PlacedLabels& placed);

}  // namespace driver::svg
