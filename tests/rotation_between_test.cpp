// RotationBetween: its values, its precision rules, and that RotateNode
// really brings `from` onto `to` with it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "direction_math.h"
#include "placement_support.h"
#include "standin/standin_scene.h"

using test_support::Placement;
using test_support::RandomDirection;

namespace {

const float kHalfSqrt2 = std::sqrt(0.5f);

void ExpectQuatEq(const Quat& actual, const Quat& expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.z, expected.z);
    EXPECT_FLOAT_EQ(actual.w, expected.w);
}

bool IsFinite(const Quat& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// Where the stand-in's RotateNode, given RotationBetween(from, to), takes
// the direction of `from`.
Point3 TurnedByHost(const Point3& from, const Point3& to) {
    standin::StandinScene scene;
    const Point3 x = Normalize(from);
    const Point3 helper = std::fabs(x.x) < 0.9f ? Point3(1, 0, 0) : Point3(0, 1, 0);
    const Point3 y = Normalize(CrossProd(x, helper));
    standin::StandinNode& node = scene.AddNode(scene.Root(), "probe", Placement(x, y, CrossProd(x, y), {}));
    node.RotateNode(0, NodeMatrix(), pivot_tool::RotationBetween(from, to), false, false, PIVOT_MODE_NODE, false);
    EXPECT_TRUE(scene.Violations().empty()) << scene.Violations().front();
    return node.Transform().row[0];
}

}  // namespace

TEST(RotationBetween, GivesTheConjugateOfTheTurnForTheKnownDirections) {
    ExpectQuatEq(pivot_tool::RotationBetween({1, 0, 0}, {0, 1, 0}), Quat(0, 0, -kHalfSqrt2, kHalfSqrt2));
    ExpectQuatEq(pivot_tool::RotationBetween({0, 1, 0}, {1, 0, 0}), Quat(0, 0, kHalfSqrt2, kHalfSqrt2));
    ExpectQuatEq(pivot_tool::RotationBetween({2, 0, 0}, {0, 0, 5}), Quat(0, kHalfSqrt2, 0, kHalfSqrt2));
    const float eighth = 3.14159265358979f / 8.0f;
    ExpectQuatEq(pivot_tool::RotationBetween({1, 1, 0}, {0, 1, 0}), Quat(0, 0, -std::sin(eighth), std::cos(eighth)));
}

TEST(RotationBetween, EqualDirectionsGiveTheIdentityWithoutNotANumber) {
    EXPECT_EQ(pivot_tool::RotationBetween({0, 0, 3}, {0, 0, 1}), Quat(0, 0, 0, 1));
    // Directions whose unit vectors come out just longer than 1, so that the
    // cosine of a direction with itself lies above 1 and s is not a number.
    std::mt19937 rng(7);
    int aboveOne = 0;
    for (int i = 0; i < 20000 && aboveOne < 20; ++i) {
        const Point3 v = RandomDirection(rng) * 3.0f;
        const Point3 d = Normalize(v);
        if (double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z <= 1.0) {
            continue;
        }
        ++aboveOne;
        const Quat q = pivot_tool::RotationBetween(v, v);
        EXPECT_EQ(std::fabs(q.x) + std::fabs(q.y) + std::fabs(q.z), 0.0f);
        EXPECT_NEAR(q.w, 1.0f, std::numeric_limits<float>::epsilon());
    }
    EXPECT_EQ(aboveOne, 20);
}

TEST(RotationBetween, SmallAnglesGiveAUnitTurnAboutTheReversedCrossProduct) {
    const Point3 from(1, 0, 0), to(1, 0.001f, 0.0005f);
    const Quat q = pivot_tool::RotationBetween(from, to);
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-6f);
    EXPECT_GT(q.w, 0.9999f);
    const Point3 reversed = Normalize(CrossProd(Normalize(to), Normalize(from)));
    const Point3 vector = Normalize(Point3(q.x, q.y, q.z));
    EXPECT_NEAR(DotProd(vector, reversed), 1.0f, 1e-4f);
}

TEST(RotationBetween, OppositeDirectionsGiveAHalfTurnAboutAPerpendicularAxis) {
    for (const Point3 from : {Point3(1, 0, 0), Point3(0, -2, 0), Point3(0, 0, 7), Point3(1, 2, 3)}) {
        const Quat q = pivot_tool::RotationBetween(from, -from * 0.5f);
        EXPECT_EQ(q.w, 0.0f);
        EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z, 1.0f, 1e-6f);
        EXPECT_NEAR(DotProd(Point3(q.x, q.y, q.z), Normalize(from)), 0.0f, 1e-6f);
    }
}

TEST(RotationBetween, DirectionlessInputsGiveTheIdentityAndNoInputGivesNotANumber) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Point3 bad : {Point3(0, 0, 0), Point3(inf, 0, 0), Point3(0, nan, 1), Point3(-inf, inf, 0)}) {
        EXPECT_EQ(pivot_tool::RotationBetween(bad, {1, 0, 0}), Quat());
        EXPECT_EQ(pivot_tool::RotationBetween({0, 1, 0}, bad), Quat());
    }
    // Lengths that single precision cannot square still have a direction.
    for (const float scale : {1e-30f, 1e30f, 3e38f}) {
        ExpectQuatEq(pivot_tool::RotationBetween(Point3(1, 0, 0) * scale, Point3(0, 1, 0) * scale),
                     Quat(0, 0, -kHalfSqrt2, kHalfSqrt2));
    }
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        const Point3 from = RandomDirection(rng);
        const Point3 to = i % 2 == 0 ? -from : from;
        EXPECT_TRUE(IsFinite(pivot_tool::RotationBetween(from, to)));
    }
}

TEST(RotationBetween, RotateNodeTurnsFromOntoToForAnyDirections) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> length(0.01f, 100.0f);
    std::uniform_int_distribution<int> exponent(-9, 0);
    for (int i = 0; i < 4000; ++i) {
        const Point3 from = RandomDirection(rng);
        Point3 to = RandomDirection(rng);
        const Point3 aside = Normalize(CrossProd(from, to));
        float tolerance = 1e-4f;
        if (i % 4 == 1) {  // near opposite: 1e-9 .. 1 radian away from -from
            const double angle = std::pow(10.0, exponent(rng));
            to = -from * float(std::cos(angle)) + CrossProd(aside, from) * float(std::sin(angle));
        } else if (i % 4 == 2) {
            to = -from;
        } else if (i % 4 == 3) {  // 1e-7 .. 1e-2 radian away from `from`, to the rounding of the rows
            const double angle = test_support::RandomPowerOfTen(rng, -7, -2);
            to = from * float(std::cos(angle)) + CrossProd(aside, from) * float(std::sin(angle));
            tolerance = 4e-7f;
        }
        const Point3 turned = TurnedByHost(from * length(rng), to * length(rng));
        EXPECT_LT(Length(turned - Normalize(to)), tolerance) << "case " << i;
    }
}
