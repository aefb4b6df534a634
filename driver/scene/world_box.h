#pragma once

#include <optional>

#include "standin/transform_math.h"

namespace driver {

// An axis-aligned box: its least and its greatest corner.
struct WorldBox {
    double min[3] = {0, 0, 0};
    double max[3] = {0, 0, 0};
};

// The box of `box` mapped by `map`: that of its eight corners mapped.
WorldBox MappedBox(const WorldBox& box, const standin::Affine& map);

// The box that holds both; `into` none is the empty box.
void AddBox(std::optional<WorldBox>& into, const WorldBox& box);

}  // namespace driver
