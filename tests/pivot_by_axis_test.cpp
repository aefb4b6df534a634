// Pivot by axis end to end: the Pick button, two clicks in the stand-in
// viewport, and what they do to the first selected node.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "direction_math.h"
#include "pivot_fixture.h"
#include "placement_support.h"

using pivot_test::PivotToolTest;
using standin::StandinNode;
using test_support::Largest;
using test_support::MatricesNear;
using test_support::SameBits;

namespace {

void ExpectNear(const Point3& actual, const Point3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Point3 RandomPoint(std::mt19937& random, float reach) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    return {reach * unit(random), reach * unit(random), reach * unit(random)};
}

// `p` moved by up to `units` units in the last place of each coordinate.
Point3 Nudged(Point3 p, std::mt19937& random, int units) {
    std::uniform_int_distribution<int> steps(-units, units);
    for (int k = 0; k < 3; ++k) {
        for (int n = steps(random); n != 0; n += n > 0 ? -1 : 1) {
            p[k] = std::nextafter(p[k], n > 0 ? INFINITY : -INFINITY);
        }
    }
    return p;
}

double Dot(const Point3& a, const Point3& b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

}  // namespace

// Placements and points at every scale from 1e-20 to 1e20. Every fourth
// second point lies only 1e-7 to 1e-2 radian off the chosen axis, and
// every fourth is a click that rounds onto the pivot or the first point,
// where nothing may turn. Every fifth node has axes that are coplanar up
// to rounding or just clear of it: it takes the edit with its object kept
// in place, or is refused and left bit for bit. Three in seven are mirrored.
TEST_F(PivotToolTest, TwoClicksPutThePivotOnTheFirstPointAndItsAxisTowardsTheSecond) {
    std::mt19937 random(20010820);
    std::mt19937 skew(2001);
    int refused = 0;
    const int axes[3] = {pivot_test::kRadioX, pivot_test::kRadioY, pivot_test::kRadioZ};
    for (int trial = 0; trial < 160; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const float scale = test_support::RandomPowerOfTen(random, -20, 20);
        const float reach = scale * test_support::RandomPowerOfTen(random, -2, 2);
        NodeMatrix start = test_support::RandomPlacement(random, scale, reach);
        if (trial % 5 == 1) {
            start = test_support::NearlyCoplanar(skew, start);
        }
        if (trial % 7 < 3) {  // mirrored
            start.row[trial % 7] = -start.row[trial % 7];
        }
        StandinNode& node = scene.AddNode(scene.Root(), "Box" + std::to_string(trial), start);
        node.SetObjectOffset(test_support::RandomPlacement(random, 1, 2));
        const int axisIndex = trial % 3;
        const int kind = trial % 4;
        // The first point up to 1e4 times nearer the origin than the pivot:
        // the pivot then holds it only to the rounding of the pivot's coordinates.
        const Point3 p1 = RandomPoint(random, reach * test_support::RandomPowerOfTen(random, -4, 0));
        const NodeMatrix objectBefore = node.ObjectWorld();
        const NodeMatrix offsetBefore = node.ObjectOffset();

        Open({&node});
        ChooseAxis(axes[axisIndex]);
        EXPECT_EQ(PressPick(), 1);
        ASSERT_TRUE(tool.IsActive());
        EXPECT_TRUE(PickChecked());

        const std::size_t logged = host.LogRecords().size();
        const auto first = host.ClickViewport(p1);
        EXPECT_TRUE(first.picked);
        if (trial % 5 == 1 && first.answer == 1) {
            ++refused;
            EXPECT_TRUE(SameBits(node.Transform(), start));
            EXPECT_TRUE(SameBits(node.ObjectOffset(), offsetBefore));
            EXPECT_EQ(host.LogRecords().size(), logged + 1);
            EXPECT_FALSE(tool.IsActive());
            Close();
            continue;
        }
        EXPECT_EQ(first.answer, 0);
        EXPECT_TRUE(tool.IsActive());
        EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kTurnAxis);
        const NodeMatrix afterFirst = node.Transform();
        const Point3 pivot = afterFirst.GetTrans();
        EXPECT_LE(Largest(pivot - p1), 4e-7f * std::fmax(Largest(p1), Largest(start.GetTrans())));
        EXPECT_TRUE(MatricesNear(node.ObjectWorld(), objectBefore, 1e-5f));
        const NodeMatrix objectAfterFirst = node.ObjectOffset();

        const Point3 axis = test_support::UnitOf(afterFirst.GetRow(axisIndex));
        Point3 p2 = RandomPoint(random, reach);
        if (kind == 2) {
            const double angle = test_support::RandomPowerOfTen(random, -7, -2);
            const Point3 aside = test_support::UnitOf(CrossProd(axis, test_support::RandomDirection(random)));
            p2 = pivot + (axis * float(std::cos(angle)) + aside * float(std::sin(angle))) * reach;
        } else if (kind == 3) {
            p2 = Nudged(trial % 8 == 3 ? p1 : pivot, random, 2);
        }
        // Keep clear of the pivot and of the half turn, whose axis is open.
        while (kind < 2 &&
               (Largest(p2 - pivot) < 0.05f * reach || Dot(axis, test_support::UnitOf(p2 - pivot)) < -0.99)) {
            p2 = RandomPoint(random, reach);
        }
        scene.Journal().Clear();
        const auto second = host.ClickViewport(p2);
        EXPECT_EQ(second.answer, 1);
        EXPECT_TRUE(second.modeEnded);
        EXPECT_FALSE(tool.IsActive());
        EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kEnded);
        EXPECT_FALSE(PickChecked());
        if (kind == 3) {
            EXPECT_TRUE(SameBits(node.Transform(), afterFirst));
            EXPECT_TRUE(SameBits(node.ObjectOffset(), objectAfterFirst));
            EXPECT_TRUE(scene.Journal().CallsOf("MoveNode").empty());
            EXPECT_TRUE(scene.Journal().CallsOf("RotateNode").empty());
        } else {
            EXPECT_EQ(node.Transform().GetTrans(), pivot);
            const Point3 turned = test_support::UnitOf(node.Transform().GetRow(axisIndex));
            EXPECT_LE(Largest(turned - test_support::UnitOf(p2 - pivot)), kind == 2 ? 4e-7f : 2e-6f);
            for (int r = 0; r < 3; ++r) {  // a pure turn: the axis scales stay
                const double length = test_support::LengthOf(afterFirst.GetRow(r));
                EXPECT_NEAR(test_support::LengthOf(node.Transform().GetRow(r)), length, 1e-5 * length) << r;
            }
        }
        EXPECT_TRUE(MatricesNear(node.ObjectWorld(), objectBefore, 1e-5f));
        Close();
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 160 / 5);
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
                                           "RootNode",       "NodeTransform",     "NodeTransform"};
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
        EXPECT_TRUE(SameBits(moves[i].axis, scene.Root().Transform()));
        EXPECT_FALSE(moves[i].localOrigin || moves[i].affectChildren || moves[i].ignoreLocks);
    }
    const auto rotations = scene.Journal().CallsOf("RotateNode");
    ASSERT_EQ(rotations.size(), 1u);
    const Quat turn = pivot_tool::RotationBetween({0, 0, 1}, {0, 0, -1});
    EXPECT_EQ(rotations[0].time, kEditTime);
    EXPECT_EQ(rotations[0].pivotMode, PIVOT_MODE_PIVOT);
    EXPECT_EQ(Quat(rotations[0].value[0], rotations[0].value[1], rotations[0].value[2], rotations[0].value[3]), turn);
    EXPECT_TRUE(SameBits(rotations[0].axis, scene.Root().Transform()));
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
    const IPoint2 onSecond{12, 34};
    host.ActiveViewport().SetWorldPointAt(onSecond, {5, 0, 0});
    host.ActiveViewport().PlaceNodeAt(onSecond, second);
    PressPick();
    EXPECT_FALSE(host.ClickViewport(onSecond).modeEnded);
    ExpectNear(first.Transform().GetTrans(), {5, 0, 0}, 0);
    EXPECT_TRUE(SameBits(second.Transform(), NodeMatrix()));
}

TEST_F(PivotToolTest, ANonFinitePointIsNoClickAndAFinishedPairChangesNothing) {
    std::mt19937 random(7);
    StandinNode& node = scene.AddNode(scene.Root(), "Box", test_support::RandomPlacement(random, 1, 5));
    Open({&node});
    PressPick();
    const std::size_t logged = host.LogRecords().size();
    for (const auto step : {PivotUtility::PickStep::kMovePivot, PivotUtility::PickStep::kTurnAxis}) {
        const auto bad = host.ClickViewport(Point3(INFINITY, 0, 0));
        EXPECT_EQ(bad.answer, 0);
        EXPECT_TRUE(tool.IsActive());
        EXPECT_EQ(tool.Step(), step);
        EXPECT_EQ(scene.Journal().CallsOf("MoveNode").size(), std::size_t(step == PivotUtility::PickStep::kTurnAxis));
        if (step == PivotUtility::PickStep::kMovePivot) {
            host.ClickViewport(Point3(1, 1, 1));
        }
    }
    EXPECT_EQ(host.LogRecords().size(), logged);
    host.ClickViewport(Point3(1, 2, 1));
    const NodeMatrix placed = node.Transform();
    EXPECT_TRUE(tool.PointPicked({9, 9, 9}));
    EXPECT_TRUE(SameBits(node.Transform(), placed));
    EXPECT_TRUE(scene.Violations().empty());
}

// Decided before the click moves anything, at the first click and at a
// second one after the selection changed to such a node.
TEST_F(PivotToolTest, ANodeWhosePivotCannotMoveIsLeftAsItWasAndTheLogSaysWhy) {
    const char* const kOffsetTooLong =
        "the object's offset from the point, measured along its axes, would not be finite";
    const struct {
        NodeMatrix placement;
        Point3 click;
        const char* reason;
        bool atFirstClickOnly = false;  // the second click does not move the pivot
    } cases[] = {
        {test_support::Placement({1, 0, 0}, {2, 0, 0}, {0, 0, 1}, {1, 2, 3}), {7, 8, 9}, "its axes are coplanar"},
        {test_support::Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {1, 2, 3}), {7, 8, 9}, "its Z axis has no length"},
        {test_support::Placement({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}), {7, 8, 9}, "its X axis has no length"},
        {test_support::Placement({1, 0, 0}, {0, NAN, 0}, {0, 0, 1}, {1, 2, 3}),
         {7, 8, 9},
         "its transform is not finite"},
        {test_support::Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {3e38f, 0, 0}),
         {-3e38f, 0, 0},
         "the point is too far from the pivot"},
        {test_support::Placement({1e-30f, 0, 0}, {0, 1e-30f, 0}, {0, 0, 1e-30f}, {1e10f, 0, 0}),
         {0, 0, 0},
         kOffsetTooLong,
         true},
        {test_support::Placement({0, 0.001f, 0}, {-0.001f, 0, 0}, {0, 0, 0.001f}, {3e38f, 0, 0}),
         {0, 0, 0},
         kOffsetTooLong,
         true},
    };
    for (const auto& c : cases) {
        for (const bool atSecondClick : {false, true}) {
            if (atSecondClick && c.atFirstClickOnly) {
                continue;
            }
            SCOPED_TRACE(std::string(c.reason) + (atSecondClick ? " at the second click" : " at the first click"));
            StandinNode& door = scene.AddNode(scene.Root(), "Door", c.placement);
            door.SetObjectOffset(test_support::Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, 0, 0}));
            if (atSecondClick) {
                StandinNode& box = scene.AddNode(scene.Root(), "Box");
                Open({&box});
                PressPick();
                host.ClickViewport(Point3(4, 5, 6));
                Select({&door});
            } else {
                Open({&door});
                PressPick();
            }
            scene.Journal().Clear();
            const std::size_t logged = host.LogRecords().size();
            const auto click = host.ClickViewport(c.click);
            EXPECT_EQ(click.answer, 1);
            EXPECT_TRUE(click.modeEnded);
            EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kEnded);
            EXPECT_FALSE(PickChecked());
            EXPECT_TRUE(SameBits(door.Transform(), c.placement));
            EXPECT_EQ(door.ObjectOffset().GetTrans(), Point3(0.5f, 0, 0));
            EXPECT_TRUE(scene.Journal().CallsOf("MoveNode").empty());
            EXPECT_TRUE(scene.Journal().CallsOf("RotateNode").empty());
            ASSERT_EQ(host.LogRecords().size(), logged + 1);
            const standin::LogRecord& entry = host.LogRecords().back();
            EXPECT_EQ(entry.type, SYSLOG_WARN);
            EXPECT_FALSE(entry.dialogue);
            EXPECT_EQ(entry.title, "Tarvel");
            EXPECT_EQ(entry.text, std::string("\"Door\" cannot take the pivot edit: ") + c.reason);
            Close();
        }
    }
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
    EXPECT_TRUE(SameBits(node.Transform(), NodeMatrix()));
    EXPECT_TRUE(scene.Violations().empty());
}
