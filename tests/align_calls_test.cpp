// The host calls of Align: which, in what order, with which arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "align_test_fixture.h"
#include "placement_support.h"

using standin::HostCall;
using standin::StandinNode;
using test_support::Placement;

namespace {

int CountOf(const std::vector<std::string>& operations, const std::string& name) {
    return static_cast<int>(std::count(operations.begin(), operations.end(), name));
}

void ExpectValue(const HostCall& call, Point3 expected, float tolerance = 0.0f) {
    EXPECT_NEAR(call.value[0], expected.x, tolerance) << call.ToString();
    EXPECT_NEAR(call.value[1], expected.y, tolerance) << call.ToString();
    EXPECT_NEAR(call.value[2], expected.z, tolerance) << call.ToString();
}

void ExpectIdentityTurn(const HostCall& call, float tolerance) {
    ExpectValue(call, {0, 0, 0}, tolerance);
    EXPECT_NEAR(call.value[3], 1.0f, tolerance) << call.ToString();
}

}  // namespace

TEST_F(AlignTest, WithoutSelectionOnlyTheCountIsAsked) {
    Add("Box");
    Align();
    EXPECT_EQ(Operations(), std::vector<std::string>{"SelectedNodeCount"});
    EXPECT_EQ(host.RedrawCount(), 0);
}

TEST_F(AlignTest, WithoutNamesakesTheBatchStillEndsWithOneRedraw) {
    StandinNode& a = Add("Box01");
    StandinNode& b = Add("box01");
    StandinNode& c = Add("Box0");
    const NodeMatrix before = a.Transform();
    for (auto selection : {std::vector<StandinNode*>{&a}, std::vector<StandinNode*>{&a, &b, &c}}) {
        Select(selection);
        Align();
        const auto ops = Operations();
        EXPECT_EQ(ops.front(), "SelectedNodeCount");
        EXPECT_EQ(CountOf(ops, "SuspendSceneRedraw"), 1);
        EXPECT_EQ(CountOf(ops, "NodeTransform") + CountOf(ops, "MoveNode"), 0);
        EXPECT_EQ(std::vector<std::string>(ops.end() - 3, ops.end()),
                  (std::vector<std::string>{"ResumeSceneRedraw", "CurrentTime", "RedrawViewports"}));
        const HostCall redraw = scene.Journal().CallsOf("RedrawViewports").at(0);
        EXPECT_EQ(redraw.time, kCurrentTime);
        EXPECT_EQ(redraw.index, 8);
        EXPECT_EQ(redraw.text, "no object");
    }
    EXPECT_EQ(host.RedrawCount(), 2);
    EXPECT_TRUE(test_support::MatricesNear(a.Transform(), before, 0.0f));
}

TEST_F(AlignTest, OneNodeMakesExactlyTheseCallsAtTheEditTime) {
    StandinNode& node = Add("Box", Placement({3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {1, 2, 3}));
    StandinNode& namesake = Add("Box", Placement({0, 2, 0}, {-2, 0, 0}, {0, 0, 2}, {4, -5, 6}));
    const NodeMatrix start = node.Transform();
    Select({&node});
    Align();
    const std::vector<std::string> turn{"AnimationRange", "NodeTransform", "AnimationRange", "RotateNode"};
    std::vector<std::string> perNode{"RootNode",      "AnimationRange", "NodeTransform", "AnimationRange",
                                     "NodeTransform", "AnimationRange", "NodeTransform", "AnimationRange",
                                     "MoveNode",      "AnimationRange", "MoveNode"};
    for (int k = 0; k < 3; ++k) {
        perNode.insert(perNode.end(), turn.begin(), turn.end());
    }
    for (const char* op : {"AnimationRange", "MoveNode", "AnimationRange", "NodeTransform", "AnimationRange",
                           "ScaleNode", "AnimationRange", "NodeTransform", "AnimationRange", "ScaleNode"}) {
        perNode.push_back(op);
    }
    const std::vector<std::string> end{"ResumeSceneRedraw", "CurrentTime", "RedrawViewports"};
    std::vector<std::string> expected{"SelectedNodeCount", "SuspendSceneRedraw", "RootNode", "SelectedNode", "NodeName",
                                      // the search: the root, the excluded node's (empty) children, the namesake
                                      "NodeName", "ChildCount", "ChildNode", "ChildCount", "ChildCount", "ChildNode",
                                      "NodeName"};
    expected.insert(expected.end(), perNode.begin(), perNode.end());
    expected.insert(expected.end(), end.begin(), end.end());
    EXPECT_EQ(Operations(), expected);

    const auto transforms = scene.Journal().CallsOf("NodeTransform");
    ASSERT_EQ(transforms.size(), 8u);
    EXPECT_EQ(transforms[0].node, &scene.Root());
    EXPECT_EQ(transforms[1].node, &node);
    EXPECT_EQ(transforms[2].node, &namesake);
    for (const auto& call : scene.Journal().Calls()) {
        if (call.time != HostCall::kNoTime && call.operation != "RedrawViewports") {
            EXPECT_EQ(call.time, kEditTime) << call.ToString();
        }
        if (call.operation == "MoveNode" || call.operation == "RotateNode" || call.operation == "ScaleNode") {
            EXPECT_EQ(call.node, &node);
            EXPECT_EQ(call.localOrigin, call.operation == "ScaleNode");
            EXPECT_FALSE(call.affectChildren);
            EXPECT_EQ(call.pivotMode, PIVOT_MODE_NODE);
            EXPECT_FALSE(call.ignoreLocks);
            if (call.operation != "ScaleNode") {
                EXPECT_TRUE(test_support::MatricesNear(call.axis, scene.Root().Transform(), 0.0f));
            }
        }
    }
    const auto moves = scene.Journal().CallsOf("MoveNode");
    ExpectValue(moves[0], {3, -7, 3});
    ExpectValue(moves[1], {-4, 5, -6});
    ExpectValue(moves[2], {4, -5, 6});
    const auto turns = scene.Journal().CallsOf("RotateNode");
    const float half = std::sqrt(0.5f);
    ExpectValue(turns[0], {0, 0, -half});
    EXPECT_EQ(turns[0].value[3], half);
    ExpectIdentityTurn(turns[1], 1e-6f);
    ExpectIdentityTurn(turns[2], 1e-6f);
    // First to unit rows along the node's own axes, then to the namesake's lengths.
    const auto scales = scene.Journal().CallsOf("ScaleNode");
    ExpectValue(scales[0], {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}, 1e-6f);
    EXPECT_NEAR(Length(scales[0].axis.row[0]), 3.0f, 1e-5f);
    ExpectValue(scales[1], {2, 2, 2});
    EXPECT_NEAR(Length(scales[1].axis.row[0]), 1.0f, 1e-6f);
    EXPECT_TRUE(test_support::MatricesNear(node.Transform(), namesake.Transform()));

    // Many selected nodes share one search, then each makes the same calls,
    // with the same outcome.
    const NodeMatrix aligned = node.Transform();
    node.SetTransform(start);
    StandinNode& other = Add("Ball", start);
    Add("Ball", namesake.Transform());
    Select({&node, &other});
    Align();
    const auto ops = Operations();
    const auto blocks = std::search(ops.begin() + 3, ops.end(), perNode.begin(), perNode.end());
    ASSERT_NE(blocks, ops.end());
    std::vector<std::string> twice = perNode;
    twice.insert(twice.end(), perNode.begin(), perNode.end());
    twice.insert(twice.end(), end.begin(), end.end());
    EXPECT_EQ(std::vector<std::string>(blocks, ops.end()), twice);
    EXPECT_TRUE(test_support::MatricesNear(node.Transform(), aligned, 0.0f));
    EXPECT_TRUE(test_support::MatricesNear(other.Transform(), aligned, 0.0f));
}

TEST_F(AlignTest, ScalesOnlyWhereARowLengthDiffersFromExactlyOne) {
    const NodeMatrix unit = Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {7, 8, 9});
    StandinNode& node = Add("Unit", unit);
    Add("Unit", unit);
    Select({&node});
    Align();
    const auto ops = Operations();
    EXPECT_EQ(CountOf(ops, "MoveNode"), 3);
    EXPECT_EQ(CountOf(ops, "RotateNode"), 3);
    EXPECT_EQ(CountOf(ops, "ScaleNode"), 0);
    ExpectValue(scene.Journal().CallsOf("MoveNode")[0], {0, 0, 0});
    for (const HostCall& turn : scene.Journal().CallsOf("RotateNode")) {
        ExpectIdentityTurn(turn, 0.0f);
    }

    StandinNode& small = Add("Doubled", unit);
    Add("Doubled", Placement({2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {0, 0, 0}));
    Select({&small});
    Align();
    const auto scales = scene.Journal().CallsOf("ScaleNode");
    ASSERT_EQ(scales.size(), 1u);
    ExpectValue(scales[0], {2, 2, 2});
}
