#include "scene/world_box.h"

#include <algorithm>

namespace driver {

// Each axis of the image is the translation plus what each of the box's
// axes adds at its least and at its greatest: the corners' extremes,
// found per axis without making the eight corners.
WorldBox MappedBox(const WorldBox& box, const standin::Affine& map) {
    WorldBox mapped;
    for (int j = 0; j < 3; ++j) {
        mapped.min[j] = mapped.max[j] = map.t[j];
        for (int i = 0; i < 3; ++i) {
            const double low = box.min[i] * map.m[i][j];
            const double high = box.max[i] * map.m[i][j];
            mapped.min[j] += std::min(low, high);
            mapped.max[j] += std::max(low, high);
        }
    }
    return mapped;
}

void AddBox(std::optional<WorldBox>& into, const WorldBox& box) {
    if (!into) {
        into = box;
        return;
    }
    for (int i = 0; i < 3; ++i) {
        into->min[i] = std::min(into->min[i], box.min[i]);
        into->max[i] = std::max(into->max[i], box.max[i]);
    }
}

}  // namespace driver
