// The pick helper's flags word, node filter and mode bookkeeping, driven
// through the stand-in host's viewport.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "pick_helper.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"

using standin::StandinInterface;
using standin::StandinNode;
using standin::StandinScene;

namespace {

// Records what the helper hands to its owner; answers as told.
class RecordingPicker final : public PickHelper {
public:
    struct Pick {
        Point3 point;
        SceneNode* node;
    };

    bool PointPicked(Point3 point, SceneNode* node) override {
        picks.push_back({point, node});
        return answer;
    }
    void PickModeEntered() override { ++entered; }
    void PickModeLeft() override { ++left; }

    bool answer = false;
    std::vector<Pick> picks;
    int entered = 0;
    int left = 0;
};

HCURSOR Cross() { return LoadCursorA(nullptr, IDC_CROSS); }

int CountOf(StandinScene& scene, const char* operation) {
    return static_cast<int>(scene.Journal().CallsOf(operation).size());
}

void ExpectSame(const Point3& actual, const Point3& expected) {
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.z, expected.z);
}

class PickHelperTest : public ::testing::Test {
protected:
    PickHelperTest()
        : box(scene.AddNode(scene.Root(), "Box")),
          line(scene.AddNode(scene.Root(), "Line")),
          helper(scene.AddNode(scene.Root(), "Helper")) {
        line.GetObject().superClass = SHAPE_CLASS_ID;
        helper.GetObject().superClass = 0x20;
        host.ActiveViewport().SetWorldPointAt(kOnBox, {1.5f, -2.25f, 3.0f});
        host.ActiveViewport().PlaceNodeAt(kOnBox, box);
        host.ActiveViewport().SetWorldPointAt(kOnHelper, {7, 8, 9});
        host.ActiveViewport().PlaceNodeAt(kOnHelper, helper);
        host.ActiveViewport().SetWorldPointAt(kEmpty, {-4, 5, -6});
    }

    static constexpr IPoint2 kOnBox{10, 20};
    static constexpr IPoint2 kOnHelper{30, 40};
    static constexpr IPoint2 kEmpty{50, 60};

    StandinScene scene;
    StandinInterface host{scene};
    StandinNode& box;
    StandinNode& line;
    StandinNode& helper;
    RecordingPicker picker;
};

constexpr IPoint2 PickHelperTest::kOnBox;
constexpr IPoint2 PickHelperTest::kOnHelper;
constexpr IPoint2 PickHelperTest::kEmpty;

}  // namespace

TEST_F(PickHelperTest, CrossCursorFlagAcceptsEveryPointAndPassesNoNode) {
    ASSERT_NE(Cross(), nullptr);
    picker.StartPick(PickHelper::kCrossCursor);
    EXPECT_EQ(picker.IdleCursor(&host), Cross());
    EXPECT_EQ(picker.HitCursor(&host), Cross());
    EXPECT_EQ(picker.ActiveNodeFilter(), nullptr);
    EXPECT_EQ(host.ShownCursor(), Cross());  // shown from the moment the mode starts

    const auto event = host.ClickViewport(kOnBox);
    EXPECT_TRUE(event.accepted);
    EXPECT_TRUE(event.picked);
    EXPECT_EQ(event.cursor, Cross());
    ASSERT_EQ(picker.picks.size(), 1u);
    ExpectSame(picker.picks[0].point, {1.5f, -2.25f, 3.0f});
    EXPECT_EQ(picker.picks[0].node, nullptr);

    EXPECT_TRUE(host.ClickViewport(kEmpty).accepted);
    ExpectSame(picker.HitPoint(), {-4, 5, -6});
    EXPECT_EQ(CountOf(scene, "PickNodeAt"), 0);
    EXPECT_EQ(CountOf(scene, "ClosestHitNode"), 0);
    EXPECT_TRUE(scene.Violations().empty());
}

TEST_F(PickHelperTest, NoFlagsMeansHostCursorsAndNoFilter) {
    picker.StartPick(0);
    EXPECT_EQ(picker.IdleCursor(&host), nullptr);
    EXPECT_EQ(picker.HitCursor(&host), nullptr);
    EXPECT_EQ(picker.ActiveNodeFilter(), nullptr);
    const auto event = host.HoverViewport(kEmpty);
    EXPECT_TRUE(event.accepted);
    EXPECT_EQ(event.cursor, nullptr);
    ExpectSame(picker.HitPoint(), {-4, 5, -6});
}

TEST_F(PickHelperTest, NodeRequiredRefusesPointsWithoutAFilteredNodeAndPassesTheClosestHit) {
    picker.StartPick(PickHelper::kNodeRequired);
    EXPECT_EQ(picker.ActiveNodeFilter(), static_cast<NodeFilter*>(&picker));
    EXPECT_EQ(picker.IdleCursor(&host), nullptr);

    EXPECT_TRUE(host.HoverViewport(kOnBox).accepted);
    ExpectSame(picker.HitPoint(), {1.5f, -2.25f, 3.0f});
    // Refused points leave the stored hit point alone and are not picked.
    const auto empty = host.ClickViewport(kEmpty);
    EXPECT_FALSE(empty.accepted);
    EXPECT_FALSE(empty.picked);
    const auto filtered = host.ClickViewport(kOnHelper);
    EXPECT_FALSE(filtered.accepted);
    ExpectSame(picker.HitPoint(), {1.5f, -2.25f, 3.0f});
    EXPECT_TRUE(picker.picks.empty());

    const auto event = host.ClickViewport(kOnBox);
    EXPECT_TRUE(event.picked);
    ASSERT_EQ(picker.picks.size(), 1u);
    EXPECT_EQ(picker.picks[0].node, &box);
    ExpectSame(picker.picks[0].point, {1.5f, -2.25f, 3.0f});
    EXPECT_TRUE(scene.Violations().empty());
}

TEST_F(PickHelperTest, NodeFilteredRequiresANodeButPassesNone) {
    picker.StartPick(PickHelper::kNodeFiltered | PickHelper::kCrossCursor);
    EXPECT_EQ(picker.ActiveNodeFilter(), static_cast<NodeFilter*>(&picker));
    EXPECT_EQ(picker.HitCursor(&host), Cross());
    EXPECT_FALSE(host.ClickViewport(kEmpty).accepted);
    const auto event = host.ClickViewport(kOnBox);
    EXPECT_TRUE(event.picked);
    ASSERT_EQ(picker.picks.size(), 1u);
    EXPECT_EQ(picker.picks[0].node, nullptr);
    EXPECT_EQ(CountOf(scene, "ClosestHitNode"), 0);
}

TEST_F(PickHelperTest, TheFilterLooksPastNodesItRejects) {
    // Nearest first: the rejected helper lies in front of the box.
    const IPoint2 stacked{70, 80};
    host.ActiveViewport().PlaceNodeAt(stacked, helper);
    host.ActiveViewport().PlaceNodeAt(stacked, box);
    picker.StartPick(PickHelper::kNodeRequired);
    EXPECT_TRUE(host.ClickViewport(stacked).picked);
    ASSERT_EQ(picker.picks.size(), 1u);
    EXPECT_EQ(picker.picks[0].node, &box);
}

TEST_F(PickHelperTest, TheAnswerOfPointPickedDecidesWhetherTheModeEnds) {
    picker.StartPick(PickHelper::kCrossCursor);
    picker.answer = false;
    auto event = host.ClickViewport(kEmpty);
    EXPECT_EQ(event.answer, 0);
    EXPECT_FALSE(event.modeEnded);
    EXPECT_TRUE(picker.IsActive());
    EXPECT_EQ(picker.left, 0);

    picker.answer = true;
    event = host.ClickViewport(kEmpty);
    EXPECT_EQ(event.answer, 1);
    EXPECT_TRUE(event.modeEnded);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);
    EXPECT_EQ(host.ActivePickMode(), nullptr);
    EXPECT_EQ(host.ShownCursor(), nullptr);

    // Clicks after the mode reach nobody.
    event = host.ClickViewport(kEmpty);
    EXPECT_FALSE(event.modeActive);
    EXPECT_EQ(picker.picks.size(), 2u);
}

TEST_F(PickHelperTest, AcceptNodeWithoutFilterFlagsAcceptsEverythingUnasked) {
    box.GetObject().objectTest = false;
    for (std::uint32_t flags : {0u, 4u}) {
        picker.StartPick(flags);
        EXPECT_EQ(picker.AcceptNode(&box), 1);
        EXPECT_EQ(picker.AcceptNode(&helper), 1);
    }
    EXPECT_EQ(CountOf(scene, "EvaluateWorldState"), 0);
}

TEST_F(PickHelperTest, AcceptNodeByTheObjectsSuperClassAndTest) {
    host.SetCurrentTime(37);
    for (std::uint32_t flags : {1u, 2u, 3u}) {
        SCOPED_TRACE(flags);
        picker.StartPick(flags);
        box.GetObject().objectTest = true;
        EXPECT_EQ(picker.AcceptNode(&box), 1);
        box.GetObject().objectTest = false;
        EXPECT_EQ(picker.AcceptNode(&box), 0);
        line.GetObject().objectTest = false;
        EXPECT_EQ(picker.AcceptNode(&line), 1);  // shapes whatever the test says
        helper.GetObject().objectTest = true;
        EXPECT_EQ(picker.AcceptNode(&helper), 0);
        helper.GetObject().superClass = 0;
        EXPECT_EQ(picker.AcceptNode(&helper), 0);
        helper.GetObject().superClass = 0x20;
    }
    const auto evaluations = scene.Journal().CallsOf("EvaluateWorldState");
    ASSERT_FALSE(evaluations.empty());
    for (const auto& call : evaluations) {
        EXPECT_EQ(call.time, 37);
        EXPECT_EQ(call.index, 1);
    }
}

TEST_F(PickHelperTest, StartAndStopToggleThroughTheHostOnlyAsNeeded) {
    picker.StopPick();
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 0);

    picker.StartPick(1);
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
    EXPECT_TRUE(picker.IsActive());
    EXPECT_EQ(picker.entered, 1);
    EXPECT_EQ(host.ActivePickMode(), &picker);

    scene.Journal().Clear();
    picker.StartPick(4);  // restart: left and entered again with the new flags
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 2);
    EXPECT_TRUE(picker.IsActive());
    EXPECT_EQ(picker.Flags(), 4u);
    EXPECT_EQ(picker.left, 1);
    EXPECT_EQ(picker.entered, 2);
    EXPECT_EQ(host.ShownCursor(), Cross());

    scene.Journal().Clear();
    picker.StopPick();
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 2);
    picker.StopPick();
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
}

TEST_F(PickHelperTest, EnteringASecondHandlerLeavesTheFirst) {
    RecordingPicker second;
    picker.StartPick(4);
    second.StartPick(0);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);
    EXPECT_TRUE(second.IsActive());
    EXPECT_EQ(host.ActivePickMode(), &second);
    EXPECT_EQ(host.ShownCursor(), nullptr);

    scene.Journal().Clear();
    picker.StopPick();  // no longer active: no host call
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 0);
    EXPECT_TRUE(second.IsActive());
    second.StopPick();
}

TEST_F(PickHelperTest, TheHostMayEndTheModeOnItsOwn) {
    picker.StartPick(4);
    host.EndPickMode();
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);

    picker.StartPick(4);
    const auto event = host.RightClickViewport();
    EXPECT_TRUE(event.modeEnded);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 2);
    EXPECT_TRUE(picker.picks.empty());
}

TEST_F(PickHelperTest, DestroyingAnActiveHelperLeavesItsMode) {
    {
        RecordingPicker scoped;
        scoped.StartPick(4);
        ASSERT_EQ(host.ActivePickMode(), &scoped);
        scene.Journal().Clear();
    }
    EXPECT_EQ(host.ActivePickMode(), nullptr);
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
}

TEST(PickHelperWithoutHost, StartAndStopDoNothingWhileNoHostRuns) {
    ASSERT_EQ(GetCOREInterface(), nullptr);
    RecordingPicker picker;
    picker.StartPick(4);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.Flags(), 4u);
    picker.StopPick();
    EXPECT_EQ(picker.entered, 0);
}

TEST(PickHelperWithoutHost, ClosingTheHostLeavesAnActiveMode) {
    RecordingPicker picker;
    {
        StandinScene scene;
        StandinInterface host{scene};
        picker.StartPick(4);
        ASSERT_TRUE(picker.IsActive());
    }
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);
}
