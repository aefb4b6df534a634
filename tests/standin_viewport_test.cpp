// The stand-in viewport: what lies under a screen point, and the host's
// hit test through PickNodeAt.
#include <gtest/gtest.h>

#include "standin/standin_interface.h"
#include "standin/standin_scene.h"

using standin::StandinInterface;
using standin::StandinNode;
using standin::StandinScene;

namespace {

// Accepts only the node it is told to.
class OnlyFilter final : public NodeFilter {
public:
    explicit OnlyFilter(SceneNode* accepted) : accepted_(accepted) {}
    int AcceptNode(SceneNode* node) override { return node == accepted_ ? 1 : 0; }

private:
    SceneNode* accepted_;
};

}  // namespace

TEST(StandinViewport, SnapsOntoPlacedWorldPointsExactlyAndElseOntoTheConstructionPlane) {
    StandinScene scene;
    StandinInterface host{scene};
    auto& viewport = host.ActiveViewport();
    const Point3 vertex{0.1f, -1e7f, 3.25e-6f};
    const IPoint2 a = viewport.PlaceWorldPoint(vertex);
    const IPoint2 b = viewport.PlaceWorldPoint(vertex);
    EXPECT_FALSE(a.x == b.x && a.y == b.y);

    const Point3 snapped = viewport.SnapWorldPoint(a, a, nullptr, 0);
    EXPECT_EQ(snapped, vertex);
    EXPECT_EQ(viewport.SnapWorldPoint({12, -3}, {12, -3}, nullptr, 0), Point3(12, -3, 0));
    EXPECT_EQ(scene.Journal().CallsOf("SnapWorldPoint").size(), 2u);
}

TEST(StandinViewport, PickNodeAtGivesTheNearestNodeThatPassesTheFilter) {
    StandinScene scene;
    StandinInterface host{scene};
    StandinNode& front = scene.AddNode(scene.Root(), "Front");
    StandinNode& back = scene.AddNode(scene.Root(), "Back");
    auto& viewport = host.ActiveViewport();
    const IPoint2 p{5, 5};
    viewport.PlaceNodeAt(p, front);
    viewport.PlaceNodeAt(p, back);

    EXPECT_EQ(host.PickNodeAt(viewport.Window(), p, nullptr), &front);
    EXPECT_EQ(viewport.ClosestHitNode(), &front);
    OnlyFilter onlyBack(&back);
    EXPECT_EQ(host.PickNodeAt(viewport.Window(), p, &onlyBack), &back);
    EXPECT_EQ(viewport.ClosestHitNode(), &back);
    EXPECT_EQ(host.PickNodeAt(viewport.Window(), {6, 5}, nullptr), nullptr);
    EXPECT_EQ(viewport.ClosestHitNode(), nullptr);
    EXPECT_TRUE(scene.Violations().empty());

    EXPECT_EQ(host.PickNodeAt(nullptr, p, nullptr), nullptr);
    EXPECT_EQ(scene.Violations().size(), 1u);
}

TEST(StandinViewport, MouseEventsWithoutAPickModeReachNobody) {
    StandinScene scene;
    StandinInterface host{scene};
    EXPECT_FALSE(host.ClickViewport(Point3(1, 2, 3)).modeActive);
    EXPECT_FALSE(host.RightClickViewport().modeActive);
    EXPECT_TRUE(scene.Journal().Calls().empty());
}
