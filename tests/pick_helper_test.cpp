// The pick helper's cursors, points and mode bookkeeping, driven through the
// stand-in host's viewport.
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
class RecordingPicker final : public pivot_tool::PickHelper {
public:
    bool PointPicked(Point3 point) override {
        picks.push_back(point);
        return answer;
    }
    void PickModeEntered() override { ++entered; }
    void PickModeLeft() override { ++left; }

    bool answer = false;
    std::vector<Point3> picks;
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
    PickHelperTest() : box(scene.AddNode(scene.Root(), "Box")) {
        host.ActiveViewport().SetWorldPointAt(kOnBox, {1.5f, -2.25f, 3.0f});
        host.ActiveViewport().PlaceNodeAt(kOnBox, box);
        host.ActiveViewport().SetWorldPointAt(kEmpty, {-4, 5, -6});
    }

    static constexpr IPoint2 kOnBox{10, 20};
    static constexpr IPoint2 kEmpty{50, 60};

    StandinScene scene;
    StandinInterface host{scene};
    StandinNode& box;
    RecordingPicker picker;
};

constexpr IPoint2 PickHelperTest::kOnBox;
constexpr IPoint2 PickHelperTest::kEmpty;

}  // namespace

TEST_F(PickHelperTest, TheCrossCursorShowsAndEveryPointIsTakenWithoutAskingForNodes) {
    ASSERT_NE(Cross(), nullptr);
    picker.StartPick();
    EXPECT_EQ(picker.IdleCursor(&host), Cross());
    EXPECT_EQ(picker.HitCursor(&host), Cross());
    EXPECT_EQ(picker.ActiveNodeFilter(), nullptr);
    EXPECT_EQ(host.ShownCursor(), Cross());  // shown from the moment the mode starts

    const auto event = host.ClickViewport(kOnBox);
    EXPECT_TRUE(event.accepted);
    EXPECT_TRUE(event.picked);
    EXPECT_EQ(event.cursor, Cross());
    ASSERT_EQ(picker.picks.size(), 1u);
    ExpectSame(picker.picks[0], {1.5f, -2.25f, 3.0f});

    EXPECT_TRUE(host.ClickViewport(kEmpty).accepted);
    ExpectSame(picker.HitPoint(), {-4, 5, -6});
    EXPECT_EQ(CountOf(scene, "PickNodeAt"), 0);
    EXPECT_EQ(CountOf(scene, "ClosestHitNode"), 0);
    EXPECT_TRUE(scene.Violations().empty());
}

TEST_F(PickHelperTest, TheAnswerOfPointPickedDecidesWhetherTheModeEnds) {
    picker.StartPick();
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

TEST_F(PickHelperTest, StartAndStopToggleThroughTheHostOnlyAsNeeded) {
    picker.StopPick();
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 0);

    picker.StartPick();
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
    EXPECT_TRUE(picker.IsActive());
    EXPECT_EQ(picker.entered, 1);
    EXPECT_EQ(host.ActivePickMode(), &picker);

    scene.Journal().Clear();
    picker.StartPick();  // restart: left and entered again
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 2);
    EXPECT_TRUE(picker.IsActive());
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
    picker.StartPick();
    second.StartPick();
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);
    EXPECT_TRUE(second.IsActive());
    EXPECT_EQ(host.ActivePickMode(), &second);

    scene.Journal().Clear();
    picker.StopPick();  // no longer active: no host call
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 0);
    EXPECT_TRUE(second.IsActive());
    second.StopPick();
}

TEST_F(PickHelperTest, TheHostMayEndTheModeOnItsOwn) {
    picker.StartPick();
    host.EndPickMode();
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);

    picker.StartPick();
    const auto event = host.RightClickViewport();
    EXPECT_TRUE(event.modeEnded);
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 2);
    EXPECT_TRUE(picker.picks.empty());
}

TEST_F(PickHelperTest, DestroyingAnActiveHelperLeavesItsMode) {
    {
        RecordingPicker scoped;
        scoped.StartPick();
        ASSERT_EQ(host.ActivePickMode(), &scoped);
        scene.Journal().Clear();
    }
    EXPECT_EQ(host.ActivePickMode(), nullptr);
    EXPECT_EQ(CountOf(scene, "TogglePickMode"), 1);
}

TEST(PickHelperWithoutHost, StartAndStopDoNothingWhileNoHostRuns) {
    ASSERT_EQ(GetCOREInterface(), nullptr);
    RecordingPicker picker;
    picker.StartPick();
    EXPECT_FALSE(picker.IsActive());
    picker.StopPick();
    EXPECT_EQ(picker.entered, 0);
}

TEST(PickHelperWithoutHost, ClosingTheHostLeavesAnActiveMode) {
    RecordingPicker picker;
    {
        StandinScene scene;
        StandinInterface host{scene};
        picker.StartPick();
        ASSERT_TRUE(picker.IsActive());
    }
    EXPECT_FALSE(picker.IsActive());
    EXPECT_EQ(picker.left, 1);
}
