// What Align does to the scene: every aligned node ends with its namesake's
// placement, other nodes and the object offsets stay, bad placements are
// left alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "align_test_fixture.h"
#include "movable_axes.h"
#include "placement_support.h"

using standin::StandinNode;
using test_support::MatricesNear;
using test_support::Oriented;
using test_support::Placement;
using test_support::RandomDirection;
using test_support::RandomPlacement;

namespace {

Point3 RowLengths(const NodeMatrix& m) {
    using test_support::LengthOf;
    return {float(LengthOf(m.row[0])), float(LengthOf(m.row[1])), float(LengthOf(m.row[2]))};
}

Quat TurnAbout(Point3 axis, double angle) {
    const Point3 a = test_support::UnitOf(axis);
    const float s = float(std::sin(angle / 2));
    return Quat(a.x * s, a.y * s, a.z * s, float(std::cos(angle / 2)));
}

// `base` turned by `turn` about its pivot, with its own scales.
NodeMatrix Turned(const NodeMatrix& base, const Quat& turn, Point3 scale, Point3 position) {
    standin::Affine r;
    standin::RotationOf(turn, r);
    NodeMatrix m;
    for (int k = 0; k < 3; ++k) {
        const Point3 u = test_support::UnitOf(base.row[k]);
        m.row[k] = Point3(float((u.x * r.m[0][0] + u.y * r.m[1][0] + u.z * r.m[2][0]) * scale[k]),
                          float((u.x * r.m[0][1] + u.y * r.m[1][1] + u.z * r.m[2][1]) * scale[k]),
                          float((u.x * r.m[0][2] + u.y * r.m[1][2] + u.z * r.m[2][2]) * scale[k]));
    }
    m.row[3] = position;
    return m;
}

}  // namespace

// Axis lengths and positions from 1e-25 to 1e25; every fourth namesake
// only 1e-7 to 1e-2 radians away from its node's orientation.
TEST_F(AlignTest, RandomNodesTakeTheirNamesakesPlacementAndKeepObjectsAndChildren) {
    std::mt19937 rng(2024);
    std::vector<StandinNode*> selected;
    std::vector<StandinNode*> namesakes;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "Box" + std::to_string(i);
        // Both positions of a pair within one reach: single precision takes
        // the node there only to the rounding of the larger of them.
        const auto size = [&] { return test_support::RandomPowerOfTen(rng, -25, 25); };
        const float reach = size();
        const NodeMatrix placement = RandomPlacement(rng, size(), reach);
        StandinNode& node = Add(name, placement);
        node.SetObjectOffset(RandomPlacement(rng));
        scene.AddNode(node, "Child" + std::to_string(i), RandomPlacement(rng));
        const NodeMatrix target = RandomPlacement(rng, size(), reach);
        const double tinyAngle = test_support::RandomPowerOfTen(rng, -7, -2);
        namesakes.push_back(&Add(name, i % 4 != 3 ? target
                                                  : Turned(placement, TurnAbout(RandomDirection(rng), tinyAngle),
                                                           RowLengths(target), target.GetTrans())));
        selected.push_back(&node);
    }
    std::vector<NodeMatrix> offsets, children, targets;
    for (int i = 0; i < 200; ++i) {
        offsets.push_back(selected[i]->ObjectOffset());
        children.push_back(selected[i]->Children()[0]->Transform());
        targets.push_back(namesakes[i]->Transform());
    }
    Select({selected[0]});
    Align();
    Select(selected);
    Align();
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE("node " + std::to_string(i));
        EXPECT_TRUE(MatricesNear(selected[i]->Transform(), targets[i], 1e-6f));
        EXPECT_TRUE(MatricesNear(selected[i]->ObjectOffset(), offsets[i], 0.0f));
        EXPECT_TRUE(MatricesNear(selected[i]->Children()[0]->Transform(), children[i], 0.0f));
        EXPECT_TRUE(MatricesNear(namesakes[i]->Transform(), targets[i], 0.0f));
    }
}

TEST_F(AlignTest, NamesakesAreFoundInPreOrderAndReadWhenTheNodesTurnComes) {
    std::mt19937 rng(5);
    StandinNode& a1 = Add("A", RandomPlacement(rng));
    StandinNode& a2 = scene.AddNode(a1, "A", RandomPlacement(rng));
    StandinNode& a3 = Add("A", RandomPlacement(rng));
    StandinNode& b1 = Add("B", RandomPlacement(rng));
    StandinNode& b2 = Add("B", RandomPlacement(rng));
    const NodeMatrix a2Before = a2.Transform();
    const NodeMatrix a3Before = a3.Transform();
    // The namesake is the first other bearer, whatever bearers follow.
    Select({&a1, &b1});
    Align();
    EXPECT_TRUE(MatricesNear(a1.Transform(), a2Before));
    EXPECT_TRUE(MatricesNear(b1.Transform(), b2.Transform()));
    EXPECT_TRUE(MatricesNear(a3.Transform(), a3Before, 0.0f));

    // A2 and A3 align to A1, A1 to A2; with A1 first, A2 takes A1's new
    // placement, which is A2's old one.
    a1.SetTransform(RandomPlacement(rng));
    Select({&a1, &a2, &a3});
    Align();
    EXPECT_TRUE(MatricesNear(a1.Transform(), a2Before));
    EXPECT_TRUE(MatricesNear(a2.Transform(), a2Before));
    EXPECT_TRUE(MatricesNear(a3.Transform(), a2Before));

    // The root is the first node compared.
    StandinNode& rootName = Add("Scene Root", RandomPlacement(rng));
    Select({&rootName});
    Align();
    EXPECT_TRUE(MatricesNear(rootName.Transform(), NodeMatrix()));
}

TEST_F(AlignTest, NamesakesAHalfTurnAwayAreReachedExactly) {
    std::mt19937 rng(9);
    int round = 0;
    for (const Point3 axis : {Point3(0, 0, 1), Point3(1, 0, 0), Point3(0, 1, 0), Point3(1, 1, 0)}) {
        for (const double miss : {0.0, 1e-6, 1e-4, 1e-2}) {
            SCOPED_TRACE("round " + std::to_string(round));
            const NodeMatrix node = RandomPlacement(rng);
            const std::string name = "H" + std::to_string(round++);
            StandinNode& n = Add(name, node);
            // The namesake's axes: the node's own turned by almost a half turn
            // about one of them.
            const Point3 about = node.VectorTransform(axis);
            StandinNode& s =
                Add(name, Turned(node, TurnAbout(about, 3.14159265358979 - miss), {1.5f, 0.5f, 2}, {1, 2, 3}));
            Select({&n});
            Align();
            EXPECT_TRUE(MatricesNear(n.Transform(), s.Transform()));
        }
    }
}

// Node and namesake share axes at right angles, or one skew, each with
// random axes reversed (mirrored when an odd number are): the namesake's
// placement is reached exactly, mirror included, and the object goes with
// the node. Axes that meet at other angles than the namesake's cannot be
// reached by turns and scales: the node is refused and left as it was.
TEST_F(AlignTest, MirroredPlacementsAreTakenExactlyAndOtherAnglesAreRefused) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> scale(0.2f, 5.0f), position(-100.0f, 100.0f), lean(-0.6f, 0.6f);
    const auto randomSkew = [&] {
        return Placement({1, 0, 0}, {lean(rng), 1, 0}, {lean(rng), lean(rng), 1}, {0, 0, 0});
    };
    const auto place = [&](const NodeMatrix& axes) {
        Point3 scales;
        for (int k = 0; k < 3; ++k) {
            scales[k] = scale(rng) * (rng() % 2 == 0 ? 1.0f : -1.0f);
        }
        return Turned(axes, test_support::RandomOrientation(rng), scales,
                      {position(rng), position(rng), position(rng)});
    };
    int mirrored = 0;
    for (int i = 0; i < 120; ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const NodeMatrix axes = i % 3 == 0 ? randomSkew() : NodeMatrix();
        const bool reachable = i % 10 != 9;
        const std::string name = "M" + std::to_string(i);
        StandinNode& node = Add(name, place(axes));
        const NodeMatrix offset = RandomPlacement(rng);
        node.SetObjectOffset(offset);
        const NodeMatrix target = place(reachable ? axes : randomSkew());
        Add(name, target);
        const NodeMatrix before = node.Transform();
        mirrored += (pivot_tool::AxesDeterminant(before) < 0) != (pivot_tool::AxesDeterminant(target) < 0);
        const std::size_t logged = host.LogRecords().size();
        Select({&node});
        Align();
        if (reachable) {
            EXPECT_TRUE(MatricesNear(node.Transform(), target, 1e-5f));
            EXPECT_EQ(host.LogRecords().size(), logged);
        } else {
            EXPECT_TRUE(test_support::SameBits(node.Transform(), before));
            ASSERT_EQ(host.LogRecords().size(), logged + 1);
            EXPECT_EQ(host.LogRecords().back().text,
                      "\"" + name +
                          "\" cannot take the placement of its namesake: its axes meet at other angles "
                          "than its namesake's, which no turn or scale along its axes gives");
        }
        EXPECT_TRUE(test_support::SameBits(node.ObjectOffset(), offset));
    }
    EXPECT_GT(mirrored, 30);
}

TEST_F(AlignTest, PlacementsThatCannotBeTakenLeaveTheNodeUnchangedAndSayWhy) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const NodeMatrix good = Placement({2, 0, 0}, {0, 3, 0}, {0, 0, 4}, {1, 1, 1});
    const struct {
        NodeMatrix node;
        NodeMatrix namesake;
        const char* reason;
    } cases[] = {
        {Placement({1, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 0}), good, "its Y axis has no length"},
        {Placement({1, 0, 0}, {0, nan, 0}, {0, 0, 1}, {0, 0, 0}), good, "its transform is not finite"},
        {good, Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {inf, 0, 0}), "the namesake's transform is not finite"},
        {good, Placement({1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}), "the namesake's axes are coplanar"},
        {Placement({1, 0, 0}, {0, 1, 0}, {1, 1, 1e-20f}, {0, 0, 0}), good, "its axes are coplanar"},
        {good, Placement({1, 0, 0}, {0, 1, 0}, {1, 1, 1e-10f}, {0, 0, 0}), "the namesake's axes are coplanar"},
        {Placement({1e-40f, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), good,
         "its X axis is too long or too short to scale"},
        {good, Placement({3e38f, 3e38f, 0}, {0, 0, 1}, {1, -1, 0}, {0, 0, 0}),
         "the namesake's X axis is too long to scale"},
        {Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {3e38f, 0, 0}),
         Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-3e38f, 0, 0}), "its namesake is too far away"},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string name = "Bad" + std::to_string(i++);
        StandinNode& node = Add(name, c.node);
        StandinNode& namesake = Add(name, c.namesake);
        const NodeMatrix namesakeBefore = namesake.Transform();
        Select({&node});
        Align();
        for (const char* change : {"MoveNode", "RotateNode", "ScaleNode"}) {
            EXPECT_TRUE(scene.Journal().CallsOf(change).empty()) << change;
        }
        EXPECT_TRUE(test_support::SameBits(node.Transform(), c.node));
        EXPECT_TRUE(test_support::SameBits(namesake.Transform(), namesakeBefore));
        EXPECT_EQ(host.RedrawCount(), i);
        ASSERT_EQ(host.LogRecords().size(), std::size_t(i));
        const standin::LogRecord& entry = host.LogRecords().back();
        EXPECT_EQ(entry.type, SYSLOG_WARN);
        EXPECT_FALSE(entry.dialogue);
        EXPECT_EQ(entry.title, "Tarvel");
        EXPECT_EQ(entry.text, "\"" + name + "\" cannot take the placement of its namesake: " + c.reason);
    }
}
