// A transform that turns each axis onto a world axis is written with an
// exact quaternion, though it was held in single precision; a real small
// turn is kept as it is.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "affine_distance.h"
#include "scene/gltf/gltf_transform.h"

using driver::gltf::Trs;
using standin::Affine;

namespace {

// Whether `q`, as a file holds it, is a number that a turn by right angles
// has in its quaternion.
bool RightAngleComponent(double q) {
    const float a = std::fabs(static_cast<float>(q));
    return a == 0 || a == 0.5f || a == static_cast<float>(std::sqrt(0.5)) || a == 1;
}

// The signed permutation `index` of 48, scaled by `scale` and turned by
// `angle` about the axis (1, 2, 3), each number then kept in floats.
Affine NoisyTurn(int index, double scale, double angle) {
    static const int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    const int* order = kOrders[index % 6];
    Affine exact;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            exact.m[i][j] = j == order[i] ? ((index / 6) & (1 << i) ? -scale : scale) : 0;
        }
        exact.t[i] = i + 0.25;
    }
    Trs small;
    const double half = angle / 2, norm = std::sqrt(14.0);
    small.rotation[0] = std::sin(half) / norm;
    small.rotation[1] = 2 * std::sin(half) / norm;
    small.rotation[2] = 3 * std::sin(half) / norm;
    small.rotation[3] = std::cos(half);
    Affine turned = standin::FirstThen(exact, AffineOfTrs(small));
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            turned.m[i][j] = static_cast<float>(turned.m[i][j]);
        }
    }
    return turned;
}

}  // namespace

TEST(GltfTurn, TurnsByRightAnglesGetExactQuaternionsAndSmallTurnsStay) {
    struct Case {
        double scale;
        double angle;  // radians off the right-angle turn
        bool exact;    // whether the quaternion is a right-angle turn's
    };
    const Case cases[] = {{1, 0, true},       {2.5, 0, true},   {1, 1e-7, true},
                          {0.01, 2e-7, true}, {1, 1e-4, false}, {3, 2e-5, false}};
    for (const Case& c : cases) {
        for (int index = 0; index < 48; ++index) {
            const Affine given = NoisyTurn(index, c.scale, c.angle);
            Trs trs;
            ASSERT_TRUE(driver::gltf::TrsOfAffine(given, Trs(), trs)) << index;
            int exact = 0;
            for (const double q : trs.rotation) {
                exact += RightAngleComponent(q) ? 1 : 0;
            }
            EXPECT_EQ(exact == 4, c.exact) << "permutation " << index << " angle " << c.angle;
            EXPECT_LT(AffineDistance(AffineOfTrs(trs), given), 1e-6 * c.scale) << index;
        }
    }
}
