#pragma once

// How far apart two placements are: the largest difference of any entry.
#include <algorithm>
#include <cmath>

#include "standin/transform_math.h"

inline double AffineDistance(const standin::Affine& a, const standin::Affine& b) {
    double distance = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            distance = std::max(distance, std::fabs(a.m[i][j] - b.m[i][j]));
        }
        distance = std::max(distance, std::fabs(a.t[i] - b.t[i]));
    }
    return distance;
}
