// The stand-in host's transform arithmetic: what the tools rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "placement_support.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"

using standin::StandinInterface;
using standin::StandinNode;
using standin::StandinScene;
using test_support::Placement;

namespace {

constexpr float kHalfSqrt2 = 0.70710678f;

void ExpectNear(const Point3& actual, const Point3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const NodeMatrix& actual, const NodeMatrix& expected, float tolerance = 1e-5f) {
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        ExpectNear(actual.row[r], expected.row[r], tolerance);
    }
}

const NodeMatrix kWorld;

}  // namespace

TEST(StandinTransforms, RotateNodeTurnsRowVectorsByTheUsualMatrixOfTheQuaternion) {
    StandinScene scene;
    StandinNode& node = scene.AddNode(scene.Root(), "Box", Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}));
    // q = (0, 0, -sqrt(1/2), sqrt(1/2)): first row of M(q) is (0, 1, 0), so X turns onto Y.
    node.RotateNode(0, kWorld, Quat(0, 0, -kHalfSqrt2, kHalfSqrt2), false, false, PIVOT_MODE_NODE, false);
    ExpectNear(node.Transform().row[0], {0, 1, 0});
    ExpectNear(node.Transform().row[1], {-1, 0, 0});
    ExpectNear(node.Transform().row[2], {0, 0, 1});
    EXPECT_TRUE(scene.Violations().empty());
}

TEST(StandinTransforms, RotateAboutTheAxisOriginMovesAnOffCentrePivot) {
    StandinScene scene;
    StandinNode& node = scene.AddNode(scene.Root(), "Box", Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {2, 0, 0}));
    node.RotateNode(0, kWorld, Quat(0, 0, -kHalfSqrt2, kHalfSqrt2), false, false, PIVOT_MODE_NODE, false);
    ExpectNear(node.Transform().GetTrans(), {0, 2, 0});
    node.RotateNode(0, kWorld, Quat(0, 0, -kHalfSqrt2, kHalfSqrt2), true, false, PIVOT_MODE_NODE, false);
    ExpectNear(node.Transform().GetTrans(), {0, 2, 0});  // about its own pivot: stays
}

TEST(StandinTransforms, MoveIsExpressedInTheAxesOfTheAxisMatrix) {
    StandinScene scene;
    StandinNode& node = scene.AddNode(scene.Root(), "Box");
    // Axes turned a quarter about Z and scaled: the offset follows the unit axes.
    const NodeMatrix axis = Placement({0, 2, 0}, {-2, 0, 0}, {0, 0, 2}, {5, 5, 5});
    node.MoveNode(0, axis, {1, 0, 0}, false, false, PIVOT_MODE_NODE, false);
    ExpectNear(node.Transform().GetTrans(), {0, 1, 0});
}

TEST(StandinTransforms, PivotModeMovesThePivotAloneAndTheObjectStaysInTheWorld) {
    StandinScene scene;
    StandinNode& node = scene.AddNode(scene.Root(), "Box", Placement({0, 2, 0}, {-1, 0, 0}, {0, 0, 3}, {1, 2, 3}));
    node.SetObjectOffset(Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, -1, 2}));
    const NodeMatrix objectBefore = node.ObjectWorld();

    node.MoveNode(0, kWorld, {4, -2, 7}, false, false, PIVOT_MODE_PIVOT, false);
    ExpectNear(node.Transform().GetTrans(), {5, 0, 10});
    ExpectNear(node.ObjectWorld(), objectBefore, 1e-4f);

    node.RotateNode(0, kWorld, Quat(0.2f, -0.4f, 0.1f, 0.8f), true, false, PIVOT_MODE_PIVOT, false);
    ExpectNear(node.Transform().GetTrans(), {5, 0, 10}, 1e-4f);
    ExpectNear(node.ObjectWorld(), objectBefore, 1e-4f);

    node.MoveNode(0, kWorld, {1, 1, 1}, false, false, PIVOT_MODE_NODE, false);
    NodeMatrix movedObject = objectBefore;
    movedObject.row[3] = objectBefore.row[3] + Point3(1, 1, 1);
    ExpectNear(node.ObjectWorld(), movedObject, 1e-4f);
}

// Pivots from 1 to 1e20 away from the origin, factors from 1e-15 to 1e15.
TEST(StandinTransforms, ScaleInTheNodesOwnAxesScalesEachRowAndLeavesThePivotExactlyWhereItIs) {
    StandinScene scene;
    std::mt19937 rng(31);
    for (int i = 0; i < 200; ++i) {
        const NodeMatrix start = test_support::RandomPlacement(rng, 1.0f, test_support::RandomPowerOfTen(rng, 0, 20));
        StandinNode& node = scene.AddNode(scene.Root(), "Box", start);
        const float size = test_support::RandomPowerOfTen(rng, -15, 15);
        std::uniform_real_distribution<float> spread(0.5f, 2.0f);
        const Point3 factors(size * spread(rng), size * spread(rng), size * spread(rng));
        node.ScaleNode(0, node.Transform(), factors, true, false, PIVOT_MODE_NODE, false);
        NodeMatrix expected = start;
        for (int r = 0; r < 3; ++r) {
            expected.row[r] = start.row[r] * factors[r];
        }
        EXPECT_EQ(node.Transform().GetTrans(), start.GetTrans()) << "case " << i;
        EXPECT_TRUE(test_support::MatricesNear(node.Transform(), expected, 1e-6f)) << "case " << i;
    }
    EXPECT_TRUE(scene.Violations().empty());
}

TEST(StandinTransforms, ChildrenStayInTheWorldUnlessAffected) {
    StandinScene scene;
    StandinNode& parent = scene.AddNode(scene.Root(), "Parent");
    StandinNode& child = scene.AddNode(parent, "Child", Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}));
    parent.MoveNode(0, kWorld, {3, 0, 0}, false, false, PIVOT_MODE_NODE, false);
    ExpectNear(child.Transform().GetTrans(), {1, 1, 1});
    parent.MoveNode(0, kWorld, {3, 0, 0}, false, true, PIVOT_MODE_NODE, false);
    ExpectNear(child.Transform().GetTrans(), {4, 1, 1});
}

TEST(StandinTransforms, ResultsThatWouldNotBeFiniteAreRefusedAndReported) {
    StandinScene scene;
    StandinNode& node = scene.AddNode(scene.Root(), "Box");
    const NodeMatrix before = node.Transform();
    node.ScaleNode(0, node.Transform(), {INFINITY, 1, 1}, true, false, PIVOT_MODE_NODE, false);
    node.RotateNode(0, kWorld, Quat(0, 0, 0, 0), false, false, PIVOT_MODE_NODE, false);
    node.MoveNode(0, Placement({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}), {1, 0, 0}, false, false, PIVOT_MODE_NODE,
                  false);
    ExpectNear(node.Transform(), before, 0.0f);
    // A pivot moved so far, for axes so short, that the object's offset overflows.
    StandinNode& tiny =
        scene.AddNode(scene.Root(), "Tiny", Placement({1e-30f, 0, 0}, {0, 1e-30f, 0}, {0, 0, 1e-30f}, {1e10f, 0, 0}));
    tiny.MoveNode(0, kWorld, {-1e10f, 0, 0}, false, false, PIVOT_MODE_PIVOT, false);
    ExpectNear(tiny.Transform().GetTrans(), {1e10f, 0, 0});
    ExpectNear(tiny.ObjectOffset(), NodeMatrix(), 0.0f);
    // An object far off its pivot, scaled with its node past what single precision holds.
    StandinNode& distant = scene.AddNode(scene.Root(), "Far");
    distant.SetObjectOffset(Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1e38f, 0, 0}));
    distant.ScaleNode(0, distant.Transform(), {3e38f, 3e38f, 3e38f}, true, false, PIVOT_MODE_NODE, false);
    ExpectNear(distant.Transform(), NodeMatrix(), 0.0f);
    EXPECT_EQ(scene.Violations().size(), 5u);
}

TEST(StandinScene, TheRootKeepsTheIdentityTransformAndCannotBeSelected) {
    StandinScene scene;
    StandinInterface host(scene);
    StandinNode& box = scene.AddNode(scene.Root(), "Box");
    host.SetSelection({&box});
    host.SetSelection({&box, &scene.Root()});
    host.ChangeSelection({&scene.Root()});
    EXPECT_EQ(host.Selection(), std::vector<StandinNode*>{&box});

    scene.Root().SetTransform(NodeMatrix());
    NodeMatrix moved;
    moved.SetTrans({0, 0, 1});
    scene.Root().SetTransform(moved);
    scene.Root().MoveNode(0, kWorld, {1, 0, 0}, false, false, PIVOT_MODE_NODE, false);
    scene.Root().RotateNode(0, kWorld, Quat(0, 0, -kHalfSqrt2, kHalfSqrt2), true, false, PIVOT_MODE_PIVOT, false);
    scene.Root().ScaleNode(0, kWorld, {2, 2, 2}, true, false, PIVOT_MODE_NODE, false);
    ExpectNear(scene.Root().Transform(), NodeMatrix(), 0.0f);
    EXPECT_EQ(scene.Violations().size(), 6u);
}

TEST(StandinScene, PreOrderVisitsParentsBeforeChildrenInChildOrder) {
    StandinScene scene("root");
    StandinNode& a = scene.AddNode(scene.Root(), "a");
    scene.AddNode(a, "a0");
    scene.AddNode(scene.Root(), "b");
    scene.AddNode(a, "a1");
    std::string order;
    for (StandinNode* node : scene.PreOrder()) {
        order += node->Name() + " ";
    }
    EXPECT_EQ(order, "root a a0 a1 b ");
}

TEST(StandinScene, AMillionNodesWideAndAMillionDeepAreBuiltAndWalked) {
    constexpr int kCount = 1000000;
    StandinScene wide;
    for (int i = 0; i < kCount; ++i) {
        wide.AddNode(wide.Root(), "n");
    }
    EXPECT_EQ(wide.PreOrder().size(), std::size_t{kCount} + 1);

    StandinScene deep;
    StandinNode* tip = &deep.Root();
    for (int i = 0; i < kCount; ++i) {
        tip = &deep.AddNode(*tip, "d");
    }
    const auto order = deep.PreOrder();
    ASSERT_EQ(order.size(), std::size_t{kCount} + 1);
    EXPECT_EQ(order.back(), tip);
}

TEST(StandinInterface, RedrawSuspensionMustPairAndGetCoreInterfaceAnswersTheCurrentHost) {
    StandinScene scene;
    {
        StandinInterface host(scene);
        EXPECT_EQ(GetCOREInterface(), &host);
        host.SuspendSceneRedraw();
        host.SuspendSceneRedraw();
        host.ResumeSceneRedraw();
        EXPECT_EQ(host.SuspendDepth(), 1);
    }
    EXPECT_EQ(GetCOREInterface(), nullptr);
    ASSERT_EQ(scene.Violations().size(), 1u);  // closed while still suspended
}

TEST(StandinInterface, TheSystemLogKeepsCopiesOfWellFormedEntriesAndRefusesOthers) {
    StandinScene scene;
    StandinInterface host(scene);
    std::string text = "saved";
    host.Log()->LogEntry(SYSLOG_INFO, FALSE, "Velkora", text.c_str());
    text = "changed afterwards";
    host.Log()->LogEntry(SYSLOG_ERROR, FALSE, "Velkora", "not saved");
    host.Log()->LogEntry(3, FALSE, "Velkora", "two types at once");
    host.Log()->LogEntry(SYSLOG_WARN, FALSE, nullptr, "no title");
    ASSERT_EQ(host.LogRecords().size(), 2u);
    EXPECT_EQ(host.LogRecords()[0].text, "saved");
    EXPECT_EQ(host.LogRecords()[1].type, SYSLOG_ERROR);
    EXPECT_EQ(scene.Violations().size(), 2u);
}
