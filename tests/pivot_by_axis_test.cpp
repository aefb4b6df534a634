// Pivot by axis end to end: the Pick button, two clicks in the stand-in
// viewport, and what they do to the first selected node.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pivot_fixture.h"
#include "standin/transform_math.h"

using pivot_test::PivotToolTest;
using standin::StandinNode;

namespace {

void ExpectNear(const Point3& actual, const Point3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const NodeMatrix& actual, const NodeMatrix& expected, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        ExpectNear(actual.row[r], expected.row[r], tolerance);
    }
}

void ExpectSame(const NodeMatrix& actual, const NodeMatrix& expected) {
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(actual.row[r], expected.row[r]) << "row " << r;
    }
}

// A random placement: rotation, positive non-uniform axis scales, position.
NodeMatrix RandomPlacement(std::mt19937& random, float reach) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> scale(0.25f, 3.0f);
    Quat q(unit(random), unit(random), unit(random), unit(random));
    standin::Affine rotation;
    while (!standin::RotationOf(q, rotation)) {
        q = Quat(unit(random), unit(random), unit(random), unit(random));
    }
    const standin::Affine scaled = standin::Then(standin::ScaleOf(scale(random), scale(random), scale(random)), rotation);
    NodeMatrix m = standin::ToNodeMatrix(scaled);
    m.SetTrans({reach * unit(random), reach * unit(random), reach * unit(random)});
    return m;
}

Point3 RandomPoint(std::mt19937& random, float reach) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    return {reach * unit(random), reach * unit(random), reach * unit(random)};
}

}  // namespace

TEST_F(PivotToolTest, TwoClicksPutThePivotOnTheFirstPointAndItsAxisTowardsTheSecond) {
    std::mt19937 random(20010820);
    const int axes[3] = {pivot_test::kRadioX, pivot_test::kRadioY, pivot_test::kRadioZ};
    for (int trial = 0; trial < 150; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        StandinNode& node = scene.AddNode(scene.Root(), "Box" + std::to_string(trial), RandomPlacement(random, 10));
        node.SetObjectOffset(RandomPlacement(random, 2));
        const int axisIndex = trial % 3;
        const Point3 p1 = RandomPoint(random, 10);
        Point3 p2 = RandomPoint(random, 10);
        // Keep clear of the pivot and of the half turn, whose axis is open.
        while (Length(p2 - p1) < 0.5f ||
               DotProd(Normalize(node.Transform().GetRow(axisIndex)), Normalize(p2 - p1)) < -0.99f) {
            p2 = RandomPoint(random, 10);
        }
        const NodeMatrix objectBefore = node.ObjectWorld();

        Open({&node});
        ChooseAxis(axes[axisIndex]);
        EXPECT_EQ(PressPick(), 1);
        ASSERT_TRUE(tool.IsActive());
        EXPECT_TRUE(PickChecked());

        const auto first = host.ClickViewport(p1);
        EXPECT_TRUE(first.picked);
        EXPECT_EQ(first.answer, 0);
        EXPECT_TRUE(tool.IsActive());
        EXPECT_EQ(tool.PickStep(), 1);
        ExpectNear(node.Transform().GetTrans(), p1, 1e-4f);
        ExpectNear(node.ObjectWorld(), objectBefore, 1e-4f);
        const NodeMatrix afterFirst = node.Transform();

        const auto second = host.ClickViewport(p2);
        EXPECT_EQ(second.answer, 1);
        EXPECT_TRUE(second.modeEnded);
        EXPECT_FALSE(tool.IsActive());
        EXPECT_EQ(tool.PickStep(), 2);
        EXPECT_FALSE(PickChecked());
        ExpectNear(node.Transform().GetTrans(), p1, 1e-4f);
        ExpectNear(Normalize(node.Transform().GetRow(axisIndex)), Normalize(p2 - p1), 1e-5f);
        for (int r = 0; r < 3; ++r) {  // a pure turn: the axis scales stay
            EXPECT_NEAR(Length(node.Transform().GetRow(r)), Length(afterFirst.GetRow(r)), 1e-4f);
        }
        ExpectNear(node.ObjectWorld(), objectBefore, 1e-4f);
        Close();
    }
    EXPECT_TRUE(scene.Violations().empty());
}

TEST_F(PivotToolTest, OneEditMakesExactlyTheseHostCallsAtTheEditTime) {
    const Point3 pivot{1, 2, 3};
    NodeMatrix placement;
    placement.SetTrans(pivot);
    StandinNode& node = scene.AddNode(scene.Root(), "Box", placement);
    Open({&node});
    ChooseAxis(pivot_test::kRadioZ);
    PressPick();
    scene.Journal().Clear();

    const Point3 p1{4, 6, 3};
    const Point3 p2{4, 6, -5};
    host.ClickViewport(p1);
    host.ClickViewport(p2);

    const std::vector<std::string> read = {"SnapWorldPoint", "SelectedNodeCount", "SelectedNode", "AnimationRange",
                                           "RootNode", "NodeTransform", "NodeTransform"};
    std::vector<std::string> expected = read;
    expected.push_back("MoveNode");
    expected.insert(expected.end(), read.begin(), read.end());
    // The second click unchecks Pick, and so does leaving the mode.
    for (const char* op : {"MoveNode", "RotateNode", "MoveNode", "SetButtonChecked", "SetButtonChecked"}) {
        expected.push_back(op);
    }
    EXPECT_EQ(scene.Journal().Operations(), expected);

    const auto transforms = scene.Journal().CallsOf("NodeTransform");
    ASSERT_EQ(transforms.size(), 4u);
    EXPECT_EQ(transforms[0].node, &scene.Root());
    EXPECT_EQ(transforms[1].node, &node);
    for (const auto& call : transforms) {
        EXPECT_EQ(call.time, kEditTime);
    }
    const auto moves = scene.Journal().CallsOf("MoveNode");
    ASSERT_EQ(moves.size(), 3u);
    const Point3 values[3] = {p1 - pivot, -p1, p1};
    const int modes[3] = {PIVOT_MODE_PIVOT, PIVOT_MODE_NODE, PIVOT_MODE_NODE};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("move " + std::to_string(i));
        EXPECT_EQ(moves[i].time, kEditTime);
        EXPECT_EQ(Point3(moves[i].value[0], moves[i].value[1], moves[i].value[2]), values[i]);
        EXPECT_EQ(moves[i].pivotMode, modes[i]);
        ExpectSame(moves[i].axis, scene.Root().Transform());
        EXPECT_FALSE(moves[i].localOrigin || moves[i].affectChildren || moves[i].ignoreLocks);
    }
    const auto rotations = scene.Journal().CallsOf("RotateNode");
    ASSERT_EQ(rotations.size(), 1u);
    const Quat turn = PivotUtility::RotationBetween({0, 0, 1}, {0, 0, -1});
    EXPECT_EQ(rotations[0].time, kEditTime);
    EXPECT_EQ(rotations[0].pivotMode, PIVOT_MODE_PIVOT);
    EXPECT_EQ(Quat(rotations[0].value[0], rotations[0].value[1], rotations[0].value[2], rotations[0].value[3]),
              turn);
    ExpectSame(rotations[0].axis, scene.Root().Transform());
    EXPECT_FALSE(rotations[0].localOrigin || rotations[0].affectChildren || rotations[0].ignoreLocks);
}

TEST_F(PivotToolTest, WithoutAnAxisCheckedTheXAxisTurns) {
    StandinNode& node = scene.AddNode(scene.Root(), "Box");
    Open({&node});
    ChooseAxis(0);
    PressPick();
    host.ClickViewport(Point3(0, 0, 0));
    host.ClickViewport(Point3(0, 3, 4));
    ExpectNear(Normalize(node.Transform().GetRow(0)), {0, 0.6f, 0.8f}, 1e-5f);
}

TEST_F(PivotToolTest, TheFirstSelectedNodeIsEditedWhateverWasClicked) {
    StandinNode& first = scene.AddNode(scene.Root(), "First");
    StandinNode& second = scene.AddNode(scene.Root(), "Second");
    Open({&first, &second});
    EXPECT_FALSE(tool.PointPicked({5, 0, 0}, &second));
    ExpectNear(first.Transform().GetTrans(), {5, 0, 0}, 0);
    ExpectSame(second.Transform(), NodeMatrix());
}

TEST_F(PivotToolTest, ClicksThatCannotEditLeaveTheNodeAsItWas) {
    std::mt19937 random(7);
    StandinNode& node = scene.AddNode(scene.Root(), "Box", RandomPlacement(random, 5));
    Open({&node});
    PressPick();

    // A point that is not finite is no first point: the mode waits.
    const auto bad = host.ClickViewport(Point3(std::numeric_limits<float>::infinity(), 0, 0));
    EXPECT_EQ(bad.answer, 0);
    EXPECT_EQ(tool.PickStep(), 0);
    EXPECT_TRUE(scene.Journal().CallsOf("MoveNode").empty());

    // A second point on the pivot gives no direction: nothing turns or moves.
    host.ClickViewport(Point3(1, 1, 1));
    const NodeMatrix placed = node.Transform();
    const NodeMatrix object = node.ObjectWorld();
    scene.Journal().Clear();
    const auto onPivot = host.ClickViewport(Point3(1, 1, 1));
    EXPECT_EQ(onPivot.answer, 1);
    EXPECT_TRUE(onPivot.modeEnded);
    EXPECT_EQ(tool.PickStep(), 2);
    EXPECT_FALSE(PickChecked());
    ExpectSame(node.Transform(), placed);
    ExpectSame(node.ObjectWorld(), object);
    EXPECT_TRUE(scene.Journal().CallsOf("MoveNode").empty());
    EXPECT_TRUE(scene.Journal().CallsOf("RotateNode").empty());

    // After a completed pair nothing changes.
    EXPECT_TRUE(tool.PointPicked({9, 9, 9}, nullptr));
    ExpectSame(node.Transform(), placed);
    EXPECT_TRUE(scene.Violations().empty());
}

TEST_F(PivotToolTest, AClickWithoutSelectionEndsTheModeAndEditsNothing) {
    StandinNode& node = scene.AddNode(scene.Root(), "Box");
    Open({&node});
    PressPick();
    Select({});  // the mode stays active, its button shows unchecked
    ASSERT_TRUE(tool.IsActive());
    scene.Journal().Clear();
    const auto event = host.ClickViewport(Point3(3, 3, 3));
    EXPECT_EQ(event.answer, 1);
    EXPECT_TRUE(event.modeEnded);
    EXPECT_FALSE(PickChecked());
    EXPECT_TRUE(scene.Journal().CallsOf("SelectedNode").empty());
    EXPECT_TRUE(scene.Journal().CallsOf("MoveNode").empty());
    ExpectSame(node.Transform(), NodeMatrix());
    EXPECT_TRUE(scene.Violations().empty());
}
