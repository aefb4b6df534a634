#pragma once

// Placements and comparisons shared by the pivot tool's tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "node_matrix.h"
#include "quat.h"
#include "standin/transform_math.h"

namespace test_support {

inline NodeMatrix Placement(Point3 x, Point3 y, Point3 z, Point3 t) {
    NodeMatrix m;
    m.row[0] = x;
    m.row[1] = y;
    m.row[2] = z;
    m.row[3] = t;
    return m;
}

// A random unit quaternion, uniformly distributed over orientations.
inline Quat RandomOrientation(std::mt19937& rng) {
    std::normal_distribution<double> normal;
    const double x = normal(rng), y = normal(rng), z = normal(rng), w = normal(rng);
    const double len = std::sqrt(x * x + y * y + z * z + w * w);
    return Quat(float(x / len), float(y / len), float(z / len), float(w / len));
}

inline Point3 RandomDirection(std::mt19937& rng) {
    std::normal_distribution<float> normal;
    return Normalize(Point3(normal(rng), normal(rng), normal(rng)));
}

// 10 to a power drawn evenly from [low, high].
inline float RandomPowerOfTen(std::mt19937& rng, float low, float high) {
    return std::pow(10.0f, std::uniform_real_distribution<float>(low, high)(rng));
}

// The length of v and the unit vector along it, formed at double
// precision: for rows of any length.
inline double LengthOf(const Point3& v) { return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z); }
inline Point3 UnitOf(const Point3& v) {
    const double length = LengthOf(v);
    return {float(v.x / length), float(v.y / length), float(v.z / length)};
}

// Rows: the axes of `orientation` scaled by `scale`; translation `position`.
inline NodeMatrix Oriented(const Quat& orientation, Point3 scale, Point3 position) {
    standin::Affine turn;
    standin::RotationOf(orientation, turn);
    NodeMatrix m;
    for (int r = 0; r < 3; ++r) {
        m.row[r] =
            Point3(float(turn.m[r][0] * scale[r]), float(turn.m[r][1] * scale[r]), float(turn.m[r][2] * scale[r]));
    }
    m.row[3] = position;
    return m;
}

// A random orientation, positive non-uniform scales of 0.2 to 5 times
// `size` and a position within `reach` of the origin.
inline NodeMatrix RandomPlacement(std::mt19937& rng, float size = 1.0f, float reach = 100.0f) {
    std::uniform_real_distribution<float> scale(0.2f, 5.0f);
    std::uniform_real_distribution<float> position(-1.0f, 1.0f);
    return Oriented(RandomOrientation(rng), {scale(rng) * size, scale(rng) * size, scale(rng) * size},
                    {position(rng) * reach, position(rng) * reach, position(rng) * reach});
}

// `m` with its Z row made a·X + b·Y + ε·n, a and b up to 1, n a random
// direction as long as the longest row, ε from 1e-20 to 1: axes that
// are coplanar up to rounding or just clear of it.
inline NodeMatrix NearlyCoplanar(std::mt19937& rng, NodeMatrix m) {
    std::uniform_real_distribution<double> part(-1.0, 1.0);
    const double a = part(rng), b = part(rng);
    const double size = std::fmax(LengthOf(m.row[0]), LengthOf(m.row[1]));
    const double e = RandomPowerOfTen(rng, -20, 0) * size;
    const Point3 n = RandomDirection(rng);
    for (int k = 0; k < 3; ++k) {
        m.row[2][k] = float(a * m.row[0][k] + b * m.row[1][k] + e * n[k]);
    }
    return m;
}

// The same rows bit for bit, rows that are not a number included.
inline bool SameBits(const NodeMatrix& a, const NodeMatrix& b) { return std::memcmp(a.row, b.row, sizeof a.row) == 0; }

inline float Largest(const Point3& v) { return std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z))); }

// Each row within `relative` of the expected row's largest component.
inline ::testing::AssertionResult MatricesNear(const NodeMatrix& actual, const NodeMatrix& expected,
                                               float relative = 1e-4f) {
    for (int r = 0; r < 4; ++r) {
        const float allowed = relative * Largest(expected.row[r]);
        const float miss = Largest(actual.row[r] - expected.row[r]);
        if (!(miss <= allowed)) {
            return ::testing::AssertionFailure()
                   << "row " << r << " misses by " << miss << ": (" << actual.row[r].x << ' ' << actual.row[r].y << ' '
                   << actual.row[r].z << ") instead of (" << expected.row[r].x << ' ' << expected.row[r].y << ' '
                   << expected.row[r].z << ')';
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support
